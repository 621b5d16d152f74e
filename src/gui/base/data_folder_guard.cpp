#include "gui/base/data_folder_guard.h"

#include <QString>

#include "gui/base/app_context.h"
#include "gui/base/user_messages.h"

DataFolderGuard::DataFolderGuard(AppContext& context, QWidget* parent)
    : m_lock(voxmg::DataFolderLock::acquire(context.doc.dataRoot(),
                                            std::chrono::milliseconds(context.timings.dataLockWaitMs))) {
    if (!m_lock.mayProceed()) {
        context.messages.error(parent, QStringLiteral("他の操作が実行中です。"));
    }
}
