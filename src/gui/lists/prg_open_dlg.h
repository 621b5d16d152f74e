#pragma once

#include <QDialog>

class QProgressBar;

// "一覧表を開く": the progress shown while a new list window reads its messages for the
// first time.
class CPrgOpenDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPrgOpenDlg(QWidget* parent = nullptr);

    void setTotal(int total);
    // The number of messages read so far, clamped to the total; lets pending events run so
    // the dialog repaints.
    void setPosition(int position);
    int position() const;

private:
    QProgressBar* m_bar;
};
