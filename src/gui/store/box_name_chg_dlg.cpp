#include "gui/store/box_name_chg_dlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/step_progress_dlg.h"
#include "gui/base/user_messages.h"
#include "gui/store/box_edit_list_ctrl.h"

namespace boxes = voxmg::boxes;

namespace {

BoxEditListCtrl* nameList(QWidget* parent) {
    return new BoxEditListCtrl(QStringLiteral("BOX番号"), QStringLiteral("  BOX名称  "), 10, parent);
}

}  // namespace

CBoxNameChgDlg::CBoxNameChgDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_boxFolder(context.doc.boxFolderPath()),
      m_rows(boxes::boxNameRows(m_boxFolder)),
      m_rusuroku(nameList(this)),
      m_naisen(nameList(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("BOX名称編集"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("対象フォルダ"), this));
    column->addWidget(targetFolderField(this, pathToQ(m_boxFolder)));
    column->addWidget(boxListPair(this, m_rusuroku, m_naisen));
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    resize(580, 380);

    for (const auto& row : m_rows) {
        (row.kind == boxes::BoxKind::Answer ? m_rusuroku : m_naisen)
            ->addRow(pathToQ(row.folder), toQ(row.name));
    }
    connect(m_ok, &QPushButton::clicked, this, &CBoxNameChgDlg::onOk);
    (new DialogScheduleCheck(this, context))->start();
}

int CBoxNameChgDlg::exec() {
    if (m_rows.empty()) {
        m_context.messages.error(parentWidget(), toQ(boxes::kNoBoxes));
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void CBoxNameChgDlg::onOk() {
    // The rows were filled in m_rows' order: the first list's rows, then the second's.
    auto rows = m_rows;
    const int answers = m_rusuroku->rowCount();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int n = static_cast<int>(i);
        rows[i].name = fromQ(n < answers ? m_rusuroku->editText(n) : m_naisen->editText(n - answers));
        rows[i].changed = rows[i].name != m_rows[i].name;
    }
    if (const auto bad = boxes::firstInvalidName(rows)) {
        m_context.messages.error(this, toQ(boxes::kInputError));
        const int n = static_cast<int>(*bad);
        n < answers ? m_rusuroku->showRow(n) : m_naisen->showRow(n - answers);
        return;
    }
    if (!m_context.messages.askYesNo(this, QStringLiteral("登録します。よろしいですか？"),
                                     QStringLiteral("登録の確認"), UserMessages::Icon::Question)) {
        reject();
        return;
    }
    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    {
        // "登録中", one step per box written.
        StepProgressDlg progress(QStringLiteral("登録中"), QStringLiteral("ＢＯＸ名称を登録中です。"), this);
        progress.setModal(false);
        progress.setBarWidth(280);
        progress.show();
        voxmg::pumpOnce(m_context.pump);
        boxes::saveBoxNames(m_boxFolder, rows, &progress, m_context.pump);
    }
    accept();
}
