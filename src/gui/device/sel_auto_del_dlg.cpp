#include "gui/device/sel_auto_del_dlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <set>

#include "core/app/box_rows.h"
#include "core/settings/settings.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/user_messages.h"
#include "gui/device/sel_down_dlg.h"

namespace {

void fill(CCheckListCtrl* list, const voxmg::ProfileFile& file, const std::string& folder,
          std::u16string_view kind) {
    const auto boxes = voxmg::box_rows::mainUnitBoxes(folder, kind);
    std::set<std::u16string> chosen;
    for (const auto& box : boxes) {
        if (voxmg::readAutoDelete(file, kind, box)) {
            chosen.insert(box);
        }
    }
    list->setBoxes(boxes, chosen);
}

}  // namespace

CSelAutoDelDlg::CSelAutoDelDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_rusuroku(new CCheckListCtrl(this)),
      m_naisen(new CCheckListCtrl(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("ダウンロード時に主装置の音声ファイルを自動消去する"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(boxListGroup(this, m_rusuroku, m_naisen));
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    connect(m_ok, &QPushButton::clicked, this, &CSelAutoDelDlg::onOk);

    const auto file = context.doc.profile();
    const std::string folder = context.doc.boxFolderPath();
    fill(m_rusuroku, file, folder, voxmg::box_rows::kRusuroku);
    fill(m_naisen, file, folder, voxmg::box_rows::kNaisen);
    (new DialogScheduleCheck(this, context))->start();
}

bool CSelAutoDelDlg::hasBoxes() const {
    return m_rusuroku->topLevelItemCount() + m_naisen->topLevelItemCount() > 0;
}

int CSelAutoDelDlg::exec() {
    if (!hasBoxes()) {
        m_context.messages.error(parentWidget(),
                                 QStringLiteral("フォルダにボックス情報がありません。\n確認ください。"));
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void CSelAutoDelDlg::onOk() {
    if (!m_context.messages.askYesNo(
            this, QStringLiteral("ダウンロード時に主装置の音声ファイルを自動消去します。よろしいですか？"),
            QStringLiteral("自動消去の確認"), UserMessages::Icon::Question)) {
        return;
    }
    auto file = m_context.doc.profile();
    voxmg::box_rows::writeAutoDeleteSelection(file, voxmg::box_rows::kRusuroku, m_rusuroku->rows());
    voxmg::box_rows::writeAutoDeleteSelection(file, voxmg::box_rows::kNaisen, m_naisen->rows());
    file.save(voxmg::kSettingsFileMode);
    accept();
}
