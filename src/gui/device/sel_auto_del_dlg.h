#pragma once

#include <QDialog>

struct AppContext;
class CCheckListCtrl;
class QPushButton;

// "ダウンロード時に主装置の音声ファイルを自動消去する": the boxes whose messages are deleted on
// the main unit after download. Written to the settings file at once, every box together.
class CSelAutoDelDlg : public QDialog {
    Q_OBJECT
public:
    CSelAutoDelDlg(AppContext& context, QWidget* parent = nullptr);

    // Shows the dialog unless the box folder has no boxes (then the error and Rejected).
    int exec() override;

    CCheckListCtrl* rusurokuList() const { return m_rusuroku; }
    CCheckListCtrl* naisenList() const { return m_naisen; }
    QPushButton* okButton() const { return m_ok; }
    bool hasBoxes() const;

private:
    void onOk();

    AppContext& m_context;
    CCheckListCtrl* m_rusuroku;
    CCheckListCtrl* m_naisen;
    QPushButton* m_ok;
};
