#include "gui/audio/wav_file_del_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <tuple>

#include "core/audio/wav_files.h"
#include "core/base/paths.h"
#include "core/base/pump.h"
#include "core/base/text.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/step_progress_dlg.h"
#include "gui/base/user_messages.h"

namespace {

// The rows shown for the box names on disk. A name that is no valid UTF-8 (copied from
// elsewhere) shows replaced; the deletion uses the name as it is on disk.
std::vector<std::u16string> boxRows(const std::vector<std::string>& boxes) {
    std::vector<std::u16string> rows;
    for (const auto& box : boxes) {
        rows.push_back(voxmg::text::utf16FromUtf8(box));
    }
    return rows;
}

}  // namespace

CWavFileDelDlg::CWavFileDelDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_boxFolder(context.doc.boxFolderPath()),
      m_folder(new QLineEdit(this)),
      m_boxRadio(new QRadioButton(QStringLiteral("BOX選択"), this)),
      m_responseRadio(new QRadioButton(QStringLiteral("システム応答メッセージ"), this)),
      m_rusuroku(new CCheckListCtrl(this)),
      m_naisen(new CCheckListCtrl(this)),
      m_delete(new QPushButton(QStringLiteral("消去"), this)) {
    setWindowTitle(QStringLiteral("ＷＡＶファイル消去"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("ダウンロード先フォルダ"), this));
    m_folder->setReadOnly(true);
    m_folder->setText(pathToQ(m_boxFolder));
    column->addWidget(m_folder);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_boxRadio);
    radios->addWidget(m_responseRadio);
    radios->addStretch();
    column->addLayout(radios);
    column->addWidget(boxListGroup(this, m_rusuroku, m_naisen, &m_allNone));
    column->addLayout(buttonRowWithCancel(this, {m_delete}));

    m_rusurokuBoxes = voxmg::audio::boxesWithWavFiles(m_boxFolder, "rusuroku");
    m_naisenBoxes = voxmg::audio::boxesWithWavFiles(m_boxFolder, "naisen");
    m_rusuroku->setBoxes(boxRows(m_rusurokuBoxes));
    m_naisen->setBoxes(boxRows(m_naisenBoxes));
    m_responseFiles = voxmg::audio::folderHasWavFiles(voxmg::paths::join(m_boxFolder, "outou"));
    m_boxRadio->setChecked(true);
    connect(m_boxRadio, &QRadioButton::clicked, this, &CWavFileDelDlg::onKind);
    connect(m_responseRadio, &QRadioButton::clicked, this, &CWavFileDelDlg::onKind);
    connect(m_delete, &QPushButton::clicked, this, &CWavFileDelDlg::onDelete);
    (new DialogScheduleCheck(this, context))->start();
}

bool CWavFileDelDlg::hasWavFiles() const {
    return m_rusuroku->topLevelItemCount() + m_naisen->topLevelItemCount() > 0 || m_responseFiles;
}

int CWavFileDelDlg::exec() {
    if (!hasWavFiles()) {
        m_context.messages.error(parentWidget(), QStringLiteral("フォルダにＷＡＶファイルがありません。"));
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void CWavFileDelDlg::onKind() {
    const bool boxes = m_boxRadio->isChecked();
    m_rusuroku->setEnabled(boxes);
    m_naisen->setEnabled(boxes);
    for (QPushButton* button : m_allNone) {
        button->setEnabled(boxes);
    }
}

void CWavFileDelDlg::onDelete() {
    if (!m_context.messages.askYesNo(
            this, QStringLiteral("指定ボックスのＷＡＶファイルを消去します。\nよろしいですか？"),
            QStringLiteral("ＷＡＶファイル消去確認"), UserMessages::Icon::Question)) {
        return;
    }
    std::vector<voxmg::audio::WavBox> boxes;
    const bool response = m_responseRadio->isChecked();
    if (!response) {
        for (auto [list, names, kind] : {std::tuple{m_rusuroku, &m_rusurokuBoxes, "rusuroku"},
                                         std::tuple{m_naisen, &m_naisenBoxes, "naisen"}}) {
            for (int row = 0; row < list->topLevelItemCount(); ++row) {
                if (list->isChosen(row)) {
                    boxes.push_back({kind, names->at(static_cast<std::size_t>(row))});
                }
            }
        }
        if (boxes.empty()) {
            m_context.messages.error(this, QStringLiteral("BOXが選択されていません。"));
            reject();
            return;
        }
    }

    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    voxmg::audio::WavCleanResult result;
    {
        // "消去中", up while the files go: one step for each kind of box.
        StepProgressDlg progress(QStringLiteral("消去中"), QStringLiteral("ＷＡＶファイルを消去中です。"),
                                 this);
        progress.setModal(false);
        progress.setBarWidth(280);
        progress.setRange(2);
        progress.show();
        voxmg::pumpOnce(m_context.pump);
        result = response ? voxmg::audio::deleteResponseWavFiles(m_boxFolder, &progress)
                          : voxmg::audio::deleteBoxWavFiles(m_boxFolder, boxes, &progress);
        voxmg::pumpOnce(m_context.pump);
    }
    // A file that stayed is told, not passed over: the user would take the box for clean.
    if (result.complete()) {
        m_context.messages.show(this, toQ(voxmg::audio::kWavCleanDone),
                                toQ(voxmg::audio::kWavCleanDoneCaption), UserMessages::Icon::Information);
    } else {
        m_context.messages.error(this, toQ(voxmg::audio::kWavCleanIncomplete));
    }
    accept();
}
