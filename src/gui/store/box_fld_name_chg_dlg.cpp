#include "gui/store/box_fld_name_chg_dlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/base/text.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/store/box_edit_list_ctrl.h"

namespace boxes = voxmg::boxes;

namespace {

BoxEditListCtrl* renameList(QWidget* parent) {
    return new BoxEditListCtrl(QStringLiteral("選択"), QStringLiteral("   BOXフォルダ名   "), 14, parent);
}

}  // namespace

CBoxFldNameChgDlg::CBoxFldNameChgDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_boxFolder(context.doc.boxFolderPath()),
      m_rusuroku(renameList(this)),
      m_naisen(renameList(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("ボックスフォルダ名称変更"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("対象フォルダ"), this));
    column->addWidget(targetFolderField(this, pathToQ(m_boxFolder)));
    column->addWidget(boxListPair(this, m_rusuroku, m_naisen));
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    resize(580, 380);

    m_hasBoxes = boxes::hasBoxSubfolders(m_boxFolder);
    for (auto [list, kind] :
         {std::pair{m_rusuroku, boxes::BoxKind::Answer}, std::pair{m_naisen, boxes::BoxKind::Extension}}) {
        for (const auto& name : boxes::userBoxes(m_boxFolder, kind)) {
            list->addRow(QStringLiteral("0"), pathToQ(name));
        }
        connect(list, &QTreeWidget::itemChanged, this, [list](QTreeWidgetItem* item, int column) {
            if (column == BoxEditListCtrl::kEditColumn) {
                const int row = list->indexOfTopLevelItem(item);
                item->setText(BoxEditListCtrl::kFixedColumn,
                              list->edited(row) ? QStringLiteral("1") : QStringLiteral("0"));
            }
        });
    }
    connect(m_ok, &QPushButton::clicked, this, &CBoxFldNameChgDlg::onOk);
    (new DialogScheduleCheck(this, context))->start();
}

int CBoxFldNameChgDlg::exec() {
    if (!m_hasBoxes) {
        m_context.messages.error(parentWidget(), toQ(boxes::kNoBoxes));
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    // Only box folders made on the PC can be renamed: with none, two empty lists would leave the
    // user wondering what to do.
    if (m_rusuroku->rowCount() == 0 && m_naisen->rowCount() == 0) {
        m_context.messages.show(parentWidget(),
                                QStringLiteral("ＰＣで作成したボックスフォルダがありません。\n"
                                               "名称を変更できるのは、ボックスフォルダを作成する... で"
                                               "作成したフォルダです。"),
                                QStringLiteral("ボックスフォルダ名称変更"), UserMessages::Icon::Information);
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

std::vector<boxes::FolderRename> CBoxFldNameChgDlg::marked(
    std::vector<std::pair<BoxEditListCtrl*, int>>& where) const {
    std::vector<boxes::FolderRename> renames;
    for (auto [list, kind] :
         {std::pair{m_rusuroku, boxes::BoxKind::Answer}, std::pair{m_naisen, boxes::BoxKind::Extension}}) {
        for (int row = 0; row < list->rowCount(); ++row) {
            if (list->fixedText(row).trimmed() == QStringLiteral("1")) {
                renames.push_back({kind, pathFromQ(list->originalText(row)), fromQ(list->editText(row))});
                where.emplace_back(list, row);
            }
        }
    }
    return renames;
}

void CBoxFldNameChgDlg::onOk() {
    std::vector<std::pair<BoxEditListCtrl*, int>> where;
    const auto renames = marked(where);
    const auto check = boxes::checkRenames(m_boxFolder, renames);
    if (check.result != boxes::BoxCheck::Ok) {
        m_context.messages.error(this, toQ(boxes::checkText(check.result)));
        where[check.row].first->showRow(where[check.row].second);
        return;
    }
    if (!m_context.messages.askYesNo(this, QStringLiteral("登録します。よろしいですか？"),
                                     QStringLiteral("登録の確認"), UserMessages::Icon::Question)) {
        reject();
        return;
    }
    // A rename that fails is not told: the list shows the old name the next time.
    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    boxes::renameBoxFolders(m_boxFolder, renames);
    accept();
}
