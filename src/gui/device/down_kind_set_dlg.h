#pragma once

#include <QDialog>

struct AppContext;
class DownloadRunner;
class QPushButton;
class DialogScheduleCheck;
class LoggedInWatch;

// "ダウンロード種別": bulk download of every box, recording info and voice or info only.
class CDownKindSetDlg : public QDialog {
    Q_OBJECT
public:
    CDownKindSetDlg(AppContext& context, DownloadRunner& runner, QWidget* parent = nullptr);
    QPushButton* fullButton() const { return m_full; }
    QPushButton* infoOnlyButton() const { return m_infoOnly; }
    LoggedInWatch* loginWatch() const { return m_watch; }

private:
    void start(bool infoOnly);

    AppContext& m_context;
    DownloadRunner& m_runner;
    QPushButton* m_full;
    QPushButton* m_infoOnly;
    DialogScheduleCheck* m_schedule;
    LoggedInWatch* m_watch;
};
