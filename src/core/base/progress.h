#pragma once

namespace voxmg {

// What an engine tells the progress dialog of the operation that called it. The original
// posted private window messages to a window it found by title; here the caller passes the
// sink explicitly, or none when nothing is shown (quiet and background runs).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;

    virtual void setRange(int /*range*/) {}        // progress range (seconds, KB, count)
    virtual void setPosition(int /*position*/) {}  // progress position; -1 and 95 have meanings per dialog
    virtual void nextFile() {}                     // one more file done
    virtual void infoFileDone() {}                 // per-file step after a recording info file
    virtual void beforeConversion() {}             // per-file step before a WAV conversion
    virtual void infoOnlyStep(int /*percent*/) {}  // info-only download, after each file
};

}  // namespace voxmg
