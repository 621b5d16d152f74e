#pragma once

#include <QDialog>

struct AppContext;
class DownloadRunner;
class CCheckListCtrl;
class QLineEdit;
class QPushButton;
class QRadioButton;
class DialogScheduleCheck;
class LoggedInWatch;

// "ボックス/システム応答メッセージ選択": download chosen boxes, or the response messages.
class CSelDownDlg : public QDialog {
    Q_OBJECT
public:
    CSelDownDlg(AppContext& context, DownloadRunner& runner, QWidget* parent = nullptr);

    QRadioButton* boxRadio() const { return m_boxRadio; }
    QRadioButton* responseRadio() const { return m_responseRadio; }
    CCheckListCtrl* rusurokuList() const { return m_rusuroku; }
    CCheckListCtrl* naisenList() const { return m_naisen; }
    QLineEdit* destination() const { return m_destination; }
    QPushButton* fullButton() const { return m_full; }
    QPushButton* infoOnlyButton() const { return m_infoOnly; }
    LoggedInWatch* loginWatch() const { return m_watch; }

private:
    void onKind();
    void start(bool infoOnly);

    AppContext& m_context;
    DownloadRunner& m_runner;
    QRadioButton* m_boxRadio;
    QRadioButton* m_responseRadio;
    CCheckListCtrl* m_rusuroku;
    CCheckListCtrl* m_naisen;
    QList<QPushButton*> m_allNone;
    QLineEdit* m_destination;
    QPushButton* m_full;
    QPushButton* m_infoOnly;
    DialogScheduleCheck* m_schedule;
    LoggedInWatch* m_watch;
};
