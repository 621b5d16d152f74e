#include "gui/device/down_kind_set_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/question_header.h"
#include "gui/device/download_confirm.h"
#include "gui/device/download_runner.h"

CDownKindSetDlg::CDownKindSetDlg(AppContext& context, DownloadRunner& runner, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_runner(runner),
      m_full(new QPushButton(QStringLiteral("録音情報と音声ファイル"), this)),
      m_infoOnly(new QPushButton(QStringLiteral("録音情報のみ"), this)),
      m_schedule(new DialogScheduleCheck(this, context)),
      m_watch(new LoggedInWatch(context, this, {m_full, m_infoOnly})) {
    setWindowTitle(QStringLiteral("ダウンロード種別"));
    auto* column = new QVBoxLayout(this);
    column->addLayout(questionHeader(
        this, {new QLabel(QStringLiteral("主装置の音声メッセージをダウンロードします。"), this),
               new QLabel(QStringLiteral("ダウンロード種別を選択してください。"), this)}));
    column->addLayout(buttonRowWithCancel(this, {m_full, m_infoOnly}, DefaultButton::Cancel));
    connect(m_full, &QPushButton::clicked, this, [this] { start(false); });
    connect(m_infoOnly, &QPushButton::clicked, this, [this] { start(true); });
    m_schedule->start();
}

void CDownKindSetDlg::start(bool infoOnly) {
    m_schedule->stop();
    if (!confirmDownload(m_context, this)) {
        m_schedule->start();
        return;
    }
    hide();
    m_runner.bulkDownload(infoOnly);
    accept();
}
