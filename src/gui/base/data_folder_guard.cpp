#include "gui/base/data_folder_guard.h"

#include <QString>

#include "gui/base/app_context.h"
#include "gui/base/user_messages.h"

DataFolderGuard::DataFolderGuard(AppContext& context, QWidget* parent)
    : m_lock(voxmg::DataFolderLock::acquire(context.doc.dataRoot(),
                                            std::chrono::milliseconds(context.timings.dataLockWaitMs))) {
    if (m_lock.status() == voxmg::DataFolderLock::Status::Busy) {
        context.messages.error(parent, QStringLiteral("他の操作が実行中です。"));
    } else if (!m_lock.mayProceed()) {
        // The lock file is another user's, a folder or a link, or the folder is read-only.
        const QString lockFile = QString::fromStdString(voxmg::dataLockPath(context.doc.dataRoot()));
        context.messages.error(parent, QStringLiteral("書き込みできません。\n%1").arg(lockFile));
    }
}
