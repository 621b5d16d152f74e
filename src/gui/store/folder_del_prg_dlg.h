#pragma once

#include <QDialog>

#include "core/base/progress.h"

class QProgressBar;

// "削除中": shown while a folder is deleted or moved to the recycle area. It has no Cancel:
// a delete stopped half-way would leave a folder neither here nor there.
class CFolderDelPrgDlg : public QDialog, public voxmg::ProgressSink {
    Q_OBJECT
public:
    explicit CFolderDelPrgDlg(QWidget* parent = nullptr);

    void setRange(int range) override;
    void setPosition(int position) override;
    QProgressBar* bar() const { return m_bar; }

protected:
    void reject() override {}  // Escape and the title bar close do not stop the work

private:
    QProgressBar* m_bar;
};
