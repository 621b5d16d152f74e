#pragma once

#include <QDialog>
#include <string>

struct AppContext;
class DialogScheduleCheck;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// "インポート設定": imports the extension box names of the current box folder from the
// telephone system's extension phone book (a CSV file). While the import runs, キャンセル
// stops it and every box changed so far gets its old name back; the dialog then stays open.
// A completed import remembers the file and closes with OK.
class CImportSetDlg : public QDialog {
    Q_OBJECT
public:
    CImportSetDlg(AppContext& context, QWidget* parent = nullptr);

    QLineEdit* folderField() const { return m_folder; }
    QLineEdit* fileField() const { return m_file; }
    QPushButton* chooseButton() const { return m_choose; }
    QPushButton* okButton() const { return m_ok; }
    QProgressBar* progressBar() const { return m_progress; }
    bool importing() const { return m_importing; }

    // キャンセル, Escape and the window's close: a cancel request while importing.
    void reject() override;

private:
    void onChoose();
    void onOk();
    void updateOk();
    void showImporting(bool on);

    AppContext& m_context;
    bool m_importing = false;
    bool m_cancelRequest = false;
    QLabel* m_text;
    QLineEdit* m_folder;
    QLineEdit* m_file;
    QPushButton* m_choose;
    QProgressBar* m_progress;
    QPushButton* m_ok;
    DialogScheduleCheck* m_schedule;
};
