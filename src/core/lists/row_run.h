#pragma once

#include "core/base/flags.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/bulk_download.h"

namespace voxmg {

// What every run over a list's selected rows does around its rows. It lives as long as the run:
// the always-download worker is paused from its start to its end, a cancel left over from an
// earlier operation is forgotten at the start, and each step moves the progress dialog on and
// lets the window handle its events.
class RowRun {
public:
    RowRun(Flags& flags, const Pump& pump, ProgressSink* progress, int range)
        : m_pause(flags, pump), m_flags(flags), m_pump(pump), m_progress(progress) {
        m_flags.cancelAll = 0;
        if (m_progress != nullptr) {
            m_progress->setRange(range);
        }
    }

    bool cancelled() const { return m_flags.cancelAll != 0; }

    // `size` more of the range done.
    void step(int size = 1) {
        m_position += size;
        if (m_progress != nullptr) {
            m_progress->setPosition(m_position);
        }
        pumpOnce(m_pump);
    }

    // The closing message of a run that lost its connection (the caller closes it).
    static UserMessage commErrorMessage() {
        return {download_text::kCommError, u"エラー", UserMessage::Icon::Exclamation};
    }

private:
    const WorkerPause m_pause;
    Flags& m_flags;
    const Pump& m_pump;
    ProgressSink* m_progress;
    int m_position = 0;
};

}  // namespace voxmg
