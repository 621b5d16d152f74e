#include "gui/automation/backup_dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "core/automation/backup_schedule.h"
#include "core/base/text.h"
#include "core/settings/settings.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/question_header.h"
#include "gui/base/section_typing.h"
#include "gui/base/user_messages.h"

namespace {

// The two confirmations share their shape: texts above, はい(&Y) and いいえ(&N) below.
void confirmationLayout(QDialog* dialog, std::initializer_list<QString> texts, QPushButton* yes,
                        QPushButton* no) {
    dialog->setWindowTitle(QStringLiteral("バックアップの確認"));
    auto* column = new QVBoxLayout(dialog);
    std::vector<QWidget*> lines;
    for (const QString& text : texts) {
        lines.push_back(new QLabel(text, dialog));
    }
    column->addLayout(questionHeader(dialog, lines));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(yes);
    row->addWidget(no);
    column->addSpacing(8);
    column->addLayout(row);
    yes->setDefault(true);
}

}  // namespace

CABakUpSetDlg::CABakUpSetDlg(AppContext& context, std::function<std::tm()> clock, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_clock(std::move(clock)),
      m_frequency(new QButtonGroup(this)),
      m_weekday(new QComboBox(this)),
      m_day(new QComboBox(this)),
      m_time(new QTimeEdit(this)),
      m_next(new QLabel(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("自動バックアップの設定"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(frequencyBox());
    column->addLayout(whenGrid());
    column->addWidget(m_next);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    showStored(context.doc.settings());
    connect(m_frequency, &QButtonGroup::idClicked, this, [this] { applyEnabling(); });
    connect(m_weekday, &QComboBox::currentIndexChanged, this, [this] { showNextRun(); });
    connect(m_day, &QComboBox::currentIndexChanged, this, [this] { showNextRun(); });
    connect(m_time, &QTimeEdit::timeChanged, this, [this] { showNextRun(); });
    connect(m_ok, &QPushButton::clicked, this, [this] {
        store();
        accept();
    });
    (new DialogScheduleCheck(this, context))->start();
}

QGroupBox* CABakUpSetDlg::frequencyBox() {
    auto* box = new QGroupBox(QStringLiteral("バックアップ頻度"), this);
    auto* radios = new QHBoxLayout(box);
    const std::pair<int, const char16_t*> kinds[] = {
        {0, u"しない"}, {1, u"毎日"}, {2, u"毎週"}, {3, u"毎月"}};
    for (const auto& [id, label] : kinds) {
        auto* radio = new QRadioButton(QString::fromUtf16(label), box);
        m_frequency->addButton(radio, id);
        radios->addWidget(radio);
    }
    return box;
}

QGridLayout* CABakUpSetDlg::whenGrid() {
    auto* grid = new QGridLayout;
    for (const char16_t* name :
         {u"日曜日", u"月曜日", u"火曜日", u"水曜日", u"木曜日", u"金曜日", u"土曜日"}) {
        m_weekday->addItem(QString::fromUtf16(name));
    }
    for (int d = 1; d <= 31; ++d) {
        m_day->addItem(QStringLiteral("%1").arg(d, 2, 10, QLatin1Char('0')));
    }
    m_time->setDisplayFormat(QStringLiteral("HH:mm"));
    selectSectionOnEntry(m_time);
    grid->addWidget(new QLabel(QStringLiteral("曜日"), this), 0, 0);
    grid->addWidget(m_weekday, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("日"), this), 1, 0);
    grid->addWidget(m_day, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("時刻"), this), 2, 0);
    grid->addWidget(m_time, 2, 1);
    return grid;
}

void CABakUpSetDlg::showStored(const voxmg::Settings& s) {
    QAbstractButton* chosen = m_frequency->button(s.hindo);
    (chosen != nullptr ? chosen : m_frequency->button(0))->setChecked(true);
    m_weekday->setCurrentIndex(s.youbi >= 0 && s.youbi <= 6 ? s.youbi : 0);
    m_day->setCurrentIndex(s.hi >= 1 && s.hi <= 31 ? s.hi - 1 : 0);
    // Stored values outside a day's hours and minutes show as 00.
    m_time->setTime(QTime(s.jikokuHH >= 0 && s.jikokuHH <= 23 ? s.jikokuHH : 0,
                          s.jikokuMM >= 0 && s.jikokuMM <= 59 ? s.jikokuMM : 0));
    applyEnabling();
}

void CABakUpSetDlg::applyEnabling() {
    const int kind = m_frequency->checkedId();
    m_time->setEnabled(kind >= 1 && kind <= 3);
    m_weekday->setEnabled(kind == 2);
    m_day->setEnabled(kind == 3);
    showNextRun();
}

voxmg::backup::Schedule CABakUpSetDlg::shownSchedule() const {
    return {std::max(0, m_frequency->checkedId()), m_weekday->currentIndex(), m_day->currentIndex() + 1,
            m_time->time().hour(), m_time->time().minute()};
}

void CABakUpSetDlg::showNextRun() {
    // "YYYYMMDDHHMM" as the user reads it.
    const QString next = QString::fromStdString(voxmg::backup::nextScheduledTime(shownSchedule(), m_clock()));
    m_next->setText(next.isEmpty() ? QStringLiteral("次回のバックアップ: なし")
                                   : QStringLiteral("次回のバックアップ: %1/%2/%3 %4:%5")
                                         .arg(next.mid(0, 4), next.mid(4, 2), next.mid(6, 2), next.mid(8, 2),
                                              next.mid(10, 2)));
}

void CABakUpSetDlg::store() {
    voxmg::Settings& s = m_context.doc.settings();
    const voxmg::backup::Schedule shown = shownSchedule();
    s.hindo = shown.frequency;
    s.youbi = shown.weekday;
    s.hi = shown.day;
    s.jikokuHH = shown.hour;
    s.jikokuMM = shown.minute;
    s.yoteiBi = voxmg::text::utf16FromUtf8(voxmg::backup::nextScheduledTime(shown, m_clock()));
}

CABakUpChk1Dlg::CABakUpChk1Dlg(AppContext& context, std::function<std::tm()> clock, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_yes(new QPushButton(QStringLiteral("はい(&Y)"), this)),
      m_no(new QPushButton(QStringLiteral("いいえ(&N)"), this)) {
    confirmationLayout(this,
                       {QStringLiteral("バックアップの実行時間になりました。"),
                        QStringLiteral("バックアップを実行しますか?"),
                        QStringLiteral("現在実行している処理は、強制的に中断されます。"),
                        QStringLiteral("10分後に自動でバックアップを開始します。")},
                       m_yes, m_no);
    auto& schedule = context.schedule;
    schedule.confirmedInteractively = true;
    connect(m_yes, &QPushButton::clicked, this, [this, &schedule] {
        schedule.backupRequest = true;
        accept();
    });
    connect(m_no, &QPushButton::clicked, this, [this, &schedule, clock] {
        // This occurrence is skipped: the schedule moves on to the next one.
        schedule.checkEnabled = true;
        schedule.backupRequest = false;
        voxmg::Settings& s = m_context.doc.settings();
        s.yoteiBi = voxmg::text::utf16FromUtf8(
            voxmg::backup::nextScheduledTime(voxmg::backup::scheduleOf(s), clock()));
        reject();
    });
    // Nobody there: the backup starts by itself and shows no completion message.
    m_countdown.setSingleShot(true);
    connect(&m_countdown, &QTimer::timeout, this, [this, &schedule] {
        schedule.backupRequest = true;
        accept();
        schedule.confirmedInteractively = false;
    });
    m_countdown.start(context.timings.backupConfirmMs);
}

CABakUpChk2Dlg::CABakUpChk2Dlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_yes(new QPushButton(QStringLiteral("はい(&Y)"), this)),
      m_no(new QPushButton(QStringLiteral("いいえ(&N)"), this)) {
    confirmationLayout(this,
                       {QStringLiteral("バックアップの時刻が過ぎています。"),
                        QStringLiteral("今すぐ、バックアップを実行しますか？")},
                       m_yes, m_no);
    auto& schedule = context.schedule;
    connect(m_yes, &QPushButton::clicked, this, [this, &schedule] {
        schedule.backupRequest = true;
        schedule.confirmedInteractively = true;
        accept();
    });
    connect(m_no, &QPushButton::clicked, this, [this, &schedule] {
        schedule.checkEnabled = false;
        schedule.backupRequest = false;
        reject();
    });
}

CPrgAbackUpDlg::CPrgAbackUpDlg(AppContext& context, QWidget* parent)
    : StepProgressDlg(context.flags, QStringLiteral("バックアップ実行中"),
                      QStringLiteral("バックアップを実行しています。"), parent),
      m_context(context) {
    // Modeless: the main frame is disabled for the run instead.
    setModal(false);
    bar()->setTextVisible(true);
    setBarWidth(280);
    setRange(0);
}

void CPrgAbackUpDlg::setRange(int range) {
    // A range that is no count at all still leaves room for a hundred messages and two steps.
    bar()->setRange(0, range > 0 ? range : 102);
}

void CPrgAbackUpDlg::cancel() {
    m_context.flags.cancelAll = 1;
}

void CPrgAbackUpDlg::nextFile() {
    bar()->setValue(std::min(bar()->maximum(), bar()->value() + 1));
    for (int i = 0; i < 10; ++i) {
        voxmg::pumpOnce(m_context.pump);
    }
}

voxmg::ProgressSink* CPrgAbackUpDlg::openProgress() {
    QDialog::show();
    for (int i = 0; i < 20; ++i) {
        voxmg::pumpOnce(m_context.pump);
    }
    return this;
}

void CPrgAbackUpDlg::closeProgress() {
    hide();
}

void CPrgAbackUpDlg::show(const voxmg::UserMessage& message) {
    showMessage(m_context.messages, parentWidget(), message);
}
