#include "gui/automation/mail_outbox_view.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>
#include <set>

#include "core/base/paths.h"
#include "core/mail/mail_run.h"
#include "gui/base/app_context.h"
#include "gui/base/user_messages.h"

using voxmg::mail::JobState;
using voxmg::mail::MailJob;
using voxmg::mail::MailLedger;

namespace {

const QString kCaption = QStringLiteral("メール転送の設定");
constexpr int kReasonColumn = 5;

QString timeText(std::time_t at) {
    std::tm local{};
    localtime_r(&at, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M", &local);
    return QString::fromLatin1(text);
}

// One row's cells: what the mail is about, read from its message when that is still there.
QStringList cellsOf(const MailJob& job) {
    const QString state =
        job.state == JobState::Failed ? QStringLiteral("送信失敗") : QStringLiteral("送信待ち");
    QString caller;
    QString recorded;
    if (const auto facts = voxmg::mail::readMessageFacts(job.messagePath)) {
        caller = QString::fromStdString(facts->callerName.empty() ? facts->callerNumber : facts->callerName);
        recorded = QString::fromStdString(facts->date);
    } else {
        caller = QStringLiteral("(メッセージがありません)");
    }
    const QString next =
        job.state == JobState::Waiting && job.attempts > 0 ? timeText(job.nextAttempt) : QString();
    return {state,  QString::fromStdString(job.box),
            caller, recorded,
            next,   QString::fromStdString(job.reason.empty() ? job.lastReply : job.reason)};
}

}  // namespace

MailOutboxView::MailOutboxView(AppContext& context, std::string settingsFolder, QWidget* parent)
    : QWidget(parent),
      m_context(context),
      m_folder(std::move(settingsFolder)),
      m_table(new QTableWidget(this)),
      m_failed(new QLabel(this)),
      m_retry(new QPushButton(QStringLiteral("もう一度送る"), this)),
      m_discard(new QPushButton(QStringLiteral("送らずに消す"), this)) {
    m_table->setObjectName(QStringLiteral("outbox"));
    m_table->setColumnCount(6);
    m_table->setHorizontalHeaderLabels({QStringLiteral("状態"), QStringLiteral("ボックス"),
                                        QStringLiteral("発信者"), QStringLiteral("録音日時"),
                                        QStringLiteral("次の送信"), QStringLiteral("理由")});
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_failed, 1);
    buttons->addWidget(m_retry);
    buttons->addWidget(m_discard);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    connect(m_retry, &QPushButton::clicked, this, &MailOutboxView::retryFailed);
    connect(m_discard, &QPushButton::clicked, this, &MailOutboxView::discardFailed);
    reload();
}

void MailOutboxView::reload() {
    const voxmg::mail::OutboxListing listing = voxmg::mail::listOutbox(m_folder, std::time(nullptr));
    m_jobs = listing.jobs;
    std::erase_if(m_jobs, [](const MailJob& job) { return job.state == JobState::Silent; });
    m_table->setRowCount(static_cast<int>(m_jobs.size()));
    for (std::size_t row = 0; row < m_jobs.size(); ++row) {
        const QStringList cells = cellsOf(m_jobs[row]);
        for (int column = 0; column < cells.size(); ++column) {
            m_table->setItem(static_cast<int>(row), column, new QTableWidgetItem(cells[column]));
        }
        // The server's or curl's own words, for whoever points at the reason.
        m_table->item(static_cast<int>(row), kReasonColumn)
            ->setToolTip(QString::fromStdString(m_jobs[row].lastReply));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    const int failed = failedCount();
    m_failed->setText(failed > 0 ? QStringLiteral("送信できなかったメール: %1 件").arg(failed) : QString());
    if (listing.problem) {
        // The ledger is left as it is: the user may have a copy to put back.
        m_failed->setText(QStringLiteral("メールの送信記録を読み込めません。\n%1")
                              .arg(QString::fromStdString(listing.ledgerPath)));
        m_failed->setToolTip(QString::fromStdString(listing.error));
    }
    m_retry->setEnabled(failed > 0);
    m_discard->setEnabled(failed > 0);
    emit changed();
}

int MailOutboxView::failedCount() const {
    return static_cast<int>(std::count_if(m_jobs.begin(), m_jobs.end(),
                                          [](const MailJob& j) { return j.state == JobState::Failed; }));
}

std::vector<MailJob> MailOutboxView::chosenFailed() const {
    std::set<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        rows.insert(index.row());
    }
    std::vector<MailJob> out;
    for (std::size_t row = 0; row < m_jobs.size(); ++row) {
        if (m_jobs[row].state == JobState::Failed &&
            (rows.empty() || rows.count(static_cast<int>(row)) != 0)) {
            out.push_back(m_jobs[row]);
        }
    }
    return out;
}

void MailOutboxView::retryFailed() {
    MailLedger ledger(m_folder, false);
    const std::time_t now = std::time(nullptr);
    for (const MailJob& job : chosenFailed()) {
        ledger.retry(job.id, now);
    }
    reload();
}

void MailOutboxView::discardFailed() {
    const std::vector<MailJob> failed = chosenFailed();
    if (failed.empty() ||
        !m_context.messages.askYesNo(
            this,
            QStringLiteral("送信できなかったメール %1 件を送らずに消します。よろしいですか？")
                .arg(failed.size()),
            kCaption, UserMessages::Icon::Question)) {
        return;
    }
    MailLedger ledger(m_folder, false);
    for (const MailJob& job : failed) {
        ledger.discard(job.id);
    }
    reload();
}
