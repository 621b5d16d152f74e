#pragma once

#include <QDialog>
#include <ctime>
#include <functional>
#include <string>

#include "core/lists/info_edit.h"

struct AppContext;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// "録音情報編集" of a box message: title, caller number and name, memo, protection and flag
// of one message, written into its file on OK. Refusals leave the dialog open.
class CInfoEditDlg : public QDialog {
    Q_OBJECT
public:
    CInfoEditDlg(AppContext& context, std::string path, QWidget* parent = nullptr);

    QLineEdit* titleEdit() const { return m_title; }
    QLineEdit* callerNumberEdit() const { return m_callerNumber; }
    QLineEdit* callerNameEdit() const { return m_callerName; }
    QPlainTextEdit* memoEdit() const { return m_memo; }
    QRadioButton* protectButton() const { return m_protect; }
    QRadioButton* flagOnButton() const { return m_flagOn; }
    QPushButton* okButton() const { return m_ok; }

private:
    void onOk();

    AppContext& m_context;
    std::string m_path;
    QLineEdit* m_title;
    QLineEdit* m_callerNumber;
    QLineEdit* m_callerName;
    QPlainTextEdit* m_memo;
    QRadioButton* m_protect;
    QRadioButton* m_flagOn;
    QPushButton* m_ok;
};

// "録音情報編集" of a response message: its name and flag. A written edit also stamps the
// message with the time of the edit, in its header and in its file names.
class CInfoEditDlgS : public QDialog {
    Q_OBJECT
public:
    CInfoEditDlgS(AppContext& context, std::string path, QWidget* parent = nullptr);

    QLineEdit* nameEdit() const { return m_name; }
    QRadioButton* flagOnButton() const { return m_flagOn; }
    QPushButton* okButton() const { return m_ok; }
    // The local time of the edit; the clock by default.
    void setClock(std::function<std::tm()> clock) { m_clock = std::move(clock); }
    // The voice file's path after a written edit (it has a new name).
    const std::string& newPath() const { return m_path; }

private:
    void onOk();

    AppContext& m_context;
    std::string m_path;
    std::function<std::tm()> m_clock;
    QLineEdit* m_name;
    QRadioButton* m_flagOn;
    QPushButton* m_ok;
};
