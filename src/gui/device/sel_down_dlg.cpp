#include "gui/device/sel_down_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/app/box_rows.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/device/download_confirm.h"
#include "gui/device/download_runner.h"

CSelDownDlg::CSelDownDlg(AppContext& context, DownloadRunner& runner, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_runner(runner),
      m_boxRadio(new QRadioButton(QStringLiteral("BOX選択"), this)),
      m_responseRadio(new QRadioButton(QStringLiteral("システム応答メッセージ"), this)),
      m_rusuroku(new CCheckListCtrl(this)),
      m_naisen(new CCheckListCtrl(this)),
      m_destination(new QLineEdit(this)),
      m_full(new QPushButton(QStringLiteral("録音情報と音声ファイル"), this)),
      m_infoOnly(new QPushButton(QStringLiteral("録音情報のみ"), this)),
      m_schedule(new DialogScheduleCheck(this, context)),
      m_watch(new LoggedInWatch(context, this, {m_full, m_infoOnly})) {
    setWindowTitle(QStringLiteral("ボックス/システム応答メッセージ選択"));
    auto* column = new QVBoxLayout(this);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_boxRadio);
    radios->addWidget(m_responseRadio);
    radios->addStretch();
    column->addLayout(radios);
    column->addWidget(boxListGroup(this, m_rusuroku, m_naisen, &m_allNone));
    column->addWidget(new QLabel(QStringLiteral("ダウンロード先フォルダ"), this));
    m_destination->setReadOnly(true);
    column->addWidget(m_destination);
    column->addLayout(buttonRowWithCancel(this, {m_full, m_infoOnly}, DefaultButton::Cancel));

    const std::string folder = context.doc.boxFolderPath();
    m_rusuroku->setBoxes(voxmg::box_rows::mainUnitBoxes(folder, voxmg::box_rows::kRusuroku));
    m_naisen->setBoxes(voxmg::box_rows::mainUnitBoxes(folder, voxmg::box_rows::kNaisen));
    m_destination->setText(pathToQ(folder));
    m_boxRadio->setChecked(true);

    connect(m_boxRadio, &QRadioButton::clicked, this, &CSelDownDlg::onKind);
    connect(m_responseRadio, &QRadioButton::clicked, this, &CSelDownDlg::onKind);
    connect(m_full, &QPushButton::clicked, this, [this] { start(false); });
    connect(m_infoOnly, &QPushButton::clicked, this, [this] { start(true); });
    m_schedule->start();
}

void CSelDownDlg::onKind() {
    const bool boxes = m_boxRadio->isChecked();
    m_rusuroku->setEnabled(boxes);
    m_naisen->setEnabled(boxes);
    for (auto* button : m_allNone) {
        button->setEnabled(boxes);
    }
    m_infoOnly->setEnabled(boxes && !m_watch->tripped());
}

void CSelDownDlg::start(bool infoOnly) {
    m_schedule->stop();
    if (!confirmDownload(m_context, this)) {
        m_schedule->start();
        return;
    }
    const bool boxes = m_boxRadio->isChecked();
    if (boxes && !m_rusuroku->anyChosen() && !m_naisen->anyChosen()) {
        m_context.messages.error(this, QStringLiteral("選択されていません。"));
        m_schedule->start();
        return;
    }
    hide();
    if (boxes) {
        m_runner.selectedDownload(BoxChoice{m_rusuroku->chosenBoxes(), m_naisen->chosenBoxes()}, infoOnly);
    } else {
        m_runner.responseDownload();
    }
    accept();
}
