#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "core/mail/mail_outbox.h"

class QLabel;
class QPushButton;
class QTableWidget;
struct AppContext;

// The mails of the outbox that wait or failed for good, one row each (state, box, caller,
// recording time, reason, next try), with もう一度送る and 送らずに消す for the selected failed
// mails, or for all of them when none is selected. Runs on the window's thread.
class MailOutboxView : public QWidget {
    Q_OBJECT
public:
    MailOutboxView(AppContext& context, std::string settingsFolder, QWidget* parent = nullptr);

    // Reads the outbox again.
    void reload();
    // Puts the failed mails chosen (all when none is selected) back to be sent now.
    void retryFailed();
    // 送らずに消す: after the user agrees, the failed mails chosen leave the outbox unsent.
    void discardFailed();

    QTableWidget* table() const { return m_table; }
    int failedCount() const;

signals:
    void changed();

private:
    // The failed jobs among the selected rows, or every failed job when none is selected.
    std::vector<voxmg::mail::MailJob> chosenFailed() const;

    AppContext& m_context;
    std::string m_folder;
    std::vector<voxmg::mail::MailJob> m_jobs;  // the rows, in order
    QTableWidget* m_table;
    QLabel* m_failed;
    QPushButton* m_retry;
    QPushButton* m_discard;
};
