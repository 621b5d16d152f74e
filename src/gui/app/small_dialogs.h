#pragma once

#include <QDialog>

#include "gui/base/app_context.h"

class QPushButton;
class DialogScheduleCheck;

// "バージョン": the product name, version and licence.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(AppContext& context, QWidget* parent = nullptr);
};

// "終了確認": Yes, No, or Yes after running the automatic backup.
class CEndChkDlg : public QDialog {
    Q_OBJECT
public:
    // `backupAvailable`: the automatic backup can run at exit.
    CEndChkDlg(AppContext& context, bool backupAvailable, QWidget* parent = nullptr);
    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }
    QPushButton* backupButton() const { return m_backup; }

private:
    QPushButton* m_yes;
    QPushButton* m_no;
    QPushButton* m_backup;
};

// The connection to the main unit was lost: 再接続 (accept) or 終了 (reject).
class CRecomDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRecomDlg(QWidget* parent = nullptr);
    QPushButton* reconnectButton() const { return m_reconnect; }
    QPushButton* endButton() const { return m_end; }

private:
    QPushButton* m_reconnect;
    QPushButton* m_end;
};
