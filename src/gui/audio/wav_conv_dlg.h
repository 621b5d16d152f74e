#pragma once

#include "gui/base/step_progress_dlg.h"

// "変換中": the progress of converting messages to WAV. The counter reads "done／total" with
// the file being converted counted as done; the bar follows the file (its range is set per
// file). キャンセル sets the cancel-all flag and closes the dialog; the running conversion
// notices the flag and stops.
class CWavConvDlg : public StepProgressDlg {
    Q_OBJECT
public:
    CWavConvDlg(voxmg::Flags& flags, int totalFiles, QWidget* parent = nullptr);

    // The counter as "done／total".
    void setCounter(int done, int total);
    // The bar's range for the current file; positions beyond it show as the end.
    void setRange(int range) override;
    void setPosition(int position) override;
    // The next file begins: the counter counts it, the bar starts again.
    void nextFile() override;

    bool cancelled() const { return m_cancelled; }

protected:
    void cancel() override;

private:
    int m_range = 0;
    int m_done = 0;
    int m_total = 0;
    bool m_cancelled = false;
};
