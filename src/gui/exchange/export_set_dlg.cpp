#include "gui/exchange/export_set_dlg.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/base/paths.h"
#include "gui/base/app_context.h"
#include "gui/base/bar_progress.h"
#include "gui/base/button_row.h"
#include "gui/base/choosers.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

namespace {

const QString kIdleText = QStringLiteral("一覧表をCSVファイルとしてエクスポートします。");
const QString kIdleCaption = QStringLiteral("エクスポート設定");
// What the settings file can hold for the folder and the name.
constexpr qsizetype kMaxStored = 259;
// The export only writes names holding ".csv" in lower case (spreadsheets and the office's
// scripts find the files by it), while the file chooser matches "*.csv" ignoring case and takes
// "UP.CSV" as having a suffix already.
const QString kNotCsvNameText = QStringLiteral("ファイル名の拡張子は「.csv」にしてください。");
const QString kNotCsvNameCaption = QStringLiteral("ファイル名の確認");

// The folder as the field shows it: without a trailing "/", except the root itself.
QString shownFolder(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    return folder;
}

}  // namespace

CExportSetDlg::CExportSetDlg(AppContext& context, voxmg::csv_export::ExportRequest source, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_source(std::move(source)),
      m_schedule(new DialogScheduleCheck(this, context)),
      m_text(new QLabel(kIdleText, this)),
      m_folder(new QLineEdit(this)),
      m_file(new QLineEdit(this)),
      m_choose(new QPushButton(QStringLiteral("設定"), this)),
      m_progress(new QProgressBar(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(kIdleCaption);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_text);
    auto* group = new QGroupBox(QStringLiteral("エクスポート先"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("フォルダ"), group), 0, 0);
    grid->addWidget(m_folder, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("ファイル"), group), 1, 0);
    grid->addWidget(m_file, 1, 1);
    grid->addWidget(m_choose, 0, 2, 2, 1, Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);
    column->addWidget(group);
    m_progress->setTextVisible(false);
    m_progress->hide();
    column->addWidget(m_progress);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    for (QLineEdit* field : {m_folder, m_file}) {
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::ClickFocus);
    }
    setMinimumWidth(480);

    const auto& settings = context.doc.settings();
    m_folder->setText(shownFolder(pathToQ(voxmg::text::utf8FromUtf16(settings.exportPath.str()))));
    m_file->setText(toQ(settings.exportName.str()));
    connect(m_folder, &QLineEdit::textChanged, this, &CExportSetDlg::updateOk);
    connect(m_file, &QLineEdit::textChanged, this, &CExportSetDlg::updateOk);
    connect(m_choose, &QPushButton::clicked, this, &CExportSetDlg::onChoose);
    connect(m_ok, &QPushButton::clicked, this, &CExportSetDlg::onOk);
    updateOk();
    // Without a stored place the user starts with 設定.
    (m_ok->isEnabled() ? m_ok : m_choose)->setFocus();
    m_schedule->start();
}

void CExportSetDlg::updateOk() {
    m_ok->setEnabled(!m_exporting && !m_folder->text().isEmpty() && !m_file->text().isEmpty());
}

void CExportSetDlg::onChoose() {
    QString start = m_folder->text();
    if (!m_file->text().isEmpty()) {
        start = pathToQ(voxmg::paths::withTrailingSeparator(pathFromQ(start))) + m_file->text();
    }
    for (;;) {
        const QString chosen = m_context.choosers.chooseSaveFile(
            this, QStringLiteral("エクスポートするファイルを指定してください。"), start,
            QStringLiteral(" csvﾌｧｲﾙ(*.csv)"), QStringLiteral("csv"));
        if (chosen.isEmpty()) {
            reject();
            return;
        }
        const QFileInfo info(chosen);
        const QString folder = shownFolder(info.absolutePath());
        if (!voxmg::csv_export::acceptedName(pathFromQ(info.fileName()))) {
            // Refused before it is remembered, or every later export would fail on it.
            m_context.messages.show(this, kNotCsvNameText, kNotCsvNameCaption, UserMessages::Icon::Warning);
            start = chosen;
            continue;
        }
        if (!confirmNetworkFolder(m_context.messages, this, folder)) {
            start = chosen;
            continue;
        }
        if (folder.size() > kMaxStored || info.fileName().size() > kMaxStored) {
            // Longer than the settings can remember.
            m_context.messages.show(
                this,
                QStringLiteral(
                    "ファイルが読み込めません。\n\n他のアプリケーションで使用していないか、確認して下さい。"),
                QStringLiteral("オープンエラー"), UserMessages::Icon::Warning);
            return;
        }
        m_folder->setText(folder);
        m_file->setText(info.fileName());
        auto& settings = m_context.doc.settings();
        settings.exportPath = fromQ(folder);
        settings.exportName = fromQ(info.fileName());
        return;
    }
}

void CExportSetDlg::onOk() {
    if (m_exporting) {
        return;
    }
    const std::string folder = pathFromQ(m_folder->text());
    const std::string name = pathFromQ(m_file->text());
    const std::string path = voxmg::csv_export::targetPath(folder, name);
    if (!voxmg::csv_export::acceptedName(name)) {
        // A name stored by an older version: say why instead of a bare export error.
        m_context.messages.show(this, kNotCsvNameText, kNotCsvNameCaption, UserMessages::Icon::Warning);
        return;
    }
    if (QFileInfo::exists(pathToQ(path)) &&
        !m_context.messages.askYesNo(
            this, QStringLiteral("ファイル\"%1\"は\n既に存在します。上書きしますか？").arg(pathToQ(path)),
            kIdleCaption, UserMessages::Icon::Warning)) {
        return;
    }
    m_schedule->stop();
    m_exporting = true;
    m_cancel = false;
    setWindowTitle(QStringLiteral("エクスポート中"));
    m_text->setText(QStringLiteral("一覧表をエクスポート中です。"));
    updateOk();
    m_progress->setValue(0);
    m_progress->show();

    voxmg::csv_export::ExportRequest request = m_source;
    request.folder = folder;
    request.fileName = name;
    request.cancelRequested = [this] { return m_cancel; };
    BarProgress progress(m_progress);
    const auto outcome = voxmg::csv_export::run(request, m_context.pump, &progress);
    m_exporting = false;
    if (!outcome.success()) {
        m_context.messages.error(this, QStringLiteral("エクスポートエラー"));
        restore();
        return;
    }
    if (outcome.result == voxmg::csv_export::ExportResult::Cancelled) {
        restore();
        return;
    }
    auto& settings = m_context.doc.settings();
    settings.exportPath = fromQ(m_folder->text());
    settings.exportName = fromQ(m_file->text());
    accept();
}

void CExportSetDlg::restore() {
    m_progress->hide();
    // The dialog grew for the bar; without it the rows would spread over the old height.
    layout()->activate();
    resize(width(), sizeHint().height());
    m_text->setText(kIdleText);
    setWindowTitle(kIdleCaption);
    m_exporting = false;
    m_cancel = false;
    updateOk();
    m_schedule->start();
}

void CExportSetDlg::reject() {
    if (m_exporting) {
        m_cancel = true;
        return;
    }
    m_schedule->stop();
    QDialog::reject();
}
