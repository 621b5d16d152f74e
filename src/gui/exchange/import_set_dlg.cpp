#include "gui/exchange/import_set_dlg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/exchange/name_import.h"
#include "gui/base/app_context.h"
#include "gui/base/bar_progress.h"
#include "gui/base/button_row.h"
#include "gui/base/choosers.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

namespace {

const QString kIdleText = QStringLiteral("内線ボックス名称をインポートします。");
const QString kIdleCaption = QStringLiteral("インポート設定");

QString withoutTrailingSeparator(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    return folder;
}

}  // namespace

CImportSetDlg::CImportSetDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_text(new QLabel(kIdleText, this)),
      m_folder(new QLineEdit(this)),
      m_file(new QLineEdit(this)),
      m_choose(new QPushButton(QStringLiteral("設定"), this)),
      m_progress(new QProgressBar(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_schedule(new DialogScheduleCheck(this, context)) {
    setWindowTitle(kIdleCaption);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_text);
    auto* group = new QGroupBox(QStringLiteral("インポート元"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("フォルダ"), group), 0, 0);
    grid->addWidget(m_folder, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("ファイル"), group), 1, 0);
    grid->addWidget(m_file, 1, 1);
    grid->addWidget(m_choose, 1, 2);
    m_folder->setReadOnly(true);
    m_file->setReadOnly(true);
    m_folder->setMinimumWidth(300);
    column->addWidget(group);
    m_progress->setTextVisible(false);
    m_progress->setValue(0);
    m_progress->hide();
    column->addWidget(m_progress);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));

    const auto& s = context.doc.settings();
    m_folder->setText(withoutTrailingSeparator(toQ(s.importPath.str())));
    m_file->setText(toQ(s.importName.str()));
    updateOk();
    m_choose->setFocus();
    connect(m_choose, &QPushButton::clicked, this, &CImportSetDlg::onChoose);
    connect(m_ok, &QPushButton::clicked, this, &CImportSetDlg::onOk);
    m_schedule->start();
}

void CImportSetDlg::updateOk() {
    m_ok->setEnabled(!m_importing && !m_folder->text().isEmpty() && !m_file->text().isEmpty());
}

void CImportSetDlg::reject() {
    if (m_importing) {
        m_cancelRequest = true;
        return;
    }
    QDialog::reject();
}

void CImportSetDlg::onChoose() {
    const QString start =
        m_folder->text().isEmpty() ? QString() : m_folder->text() + QLatin1Char('/') + m_file->text();
    QString chosen;
    do {
        chosen = m_context.choosers.chooseOpenFile(
            this, QStringLiteral("インポートするファイルを指定してください。"), start,
            QStringLiteral("csvﾌｧｲﾙ(*.csv)"));
        if (chosen.isEmpty()) {
            QDialog::reject();
            return;
        }
    } while (!confirmNetworkFile(m_context.messages, this, chosen));

    const QFileInfo info(chosen);
    if (!info.isFile() || !info.isReadable()) {
        m_context.messages.show(
            this,
            QStringLiteral("ファイルが読み込めません。\n\n他のアプリケーションで使用していないか、"
                           "確認して下さい。"),
            QStringLiteral("オープンエラー"), UserMessages::Icon::Warning);
        return;
    }
    m_folder->setText(withoutTrailingSeparator(info.absolutePath()));
    m_file->setText(info.fileName());
    auto& s = m_context.doc.settings();
    s.importPath = fromQ(m_folder->text());
    s.importName = fromQ(m_file->text());
    updateOk();
}

void CImportSetDlg::showImporting(bool on) {
    m_importing = on;
    m_text->setText(on ? QStringLiteral("内線ボックス名称をインポート中です。") : kIdleText);
    setWindowTitle(on ? QStringLiteral("インポート中") : kIdleCaption);
    m_progress->setVisible(on);
    if (!on) {
        // The dialog grew for the bar; without it the rows would spread over the old height.
        layout()->activate();
        resize(width(), sizeHint().height());
    }
    m_choose->setEnabled(!on);
    updateOk();
}

void CImportSetDlg::onOk() {
    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    showImporting(true);
    m_cancelRequest = false;
    m_schedule->stop();
    BarProgress progress(m_progress);
    voxmg::name_import::ImportRequest request{pathFromQ(m_folder->text() + QLatin1Char('/') + m_file->text()),
                                              m_context.doc.boxFolderPath(),
                                              [this] { return m_cancelRequest; }};
    const auto outcome = voxmg::name_import::run(request, &progress, m_context.pump);
    if (outcome.result == voxmg::name_import::ImportResult::Failed) {
        m_context.messages.error(this, toQ(outcome.summary.text));
    }
    if (outcome.completed) {
        auto& s = m_context.doc.settings();
        s.importPath = fromQ(m_folder->text());
        s.importName = fromQ(m_file->text());
        m_importing = false;
        accept();
        return;
    }
    m_progress->setValue(0);
    showImporting(false);
    m_cancelRequest = false;
    m_schedule->start();
}
