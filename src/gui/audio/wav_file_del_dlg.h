#pragma once

#include <QDialog>
#include <QList>
#include <string>
#include <vector>

struct AppContext;
class CCheckListCtrl;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "ＷＡＶファイル消去": deletes the WAV and WMA files of chosen boxes of the current box
// folder, or of its system response messages. The lists show only boxes that hold such
// files; message files are never touched.
class CWavFileDelDlg : public QDialog {
    Q_OBJECT
public:
    CWavFileDelDlg(AppContext& context, QWidget* parent = nullptr);

    // Shows the dialog unless the box folder holds no WAV or WMA file at all (then the error
    // and Rejected).
    int exec() override;
    bool hasWavFiles() const;

    QLineEdit* folderField() const { return m_folder; }
    QRadioButton* boxRadio() const { return m_boxRadio; }
    QRadioButton* responseRadio() const { return m_responseRadio; }
    CCheckListCtrl* rusurokuList() const { return m_rusuroku; }
    CCheckListCtrl* naisenList() const { return m_naisen; }
    QPushButton* deleteButton() const { return m_delete; }

private:
    void onKind();
    void onDelete();

    AppContext& m_context;
    std::string m_boxFolder;
    std::vector<std::string> m_rusurokuBoxes;  // the box names on disk, in row order
    std::vector<std::string> m_naisenBoxes;
    bool m_responseFiles = false;
    QLineEdit* m_folder;
    QRadioButton* m_boxRadio;
    QRadioButton* m_responseRadio;
    CCheckListCtrl* m_rusuroku;
    CCheckListCtrl* m_naisen;
    QList<QPushButton*> m_allNone;
    QPushButton* m_delete;
};
