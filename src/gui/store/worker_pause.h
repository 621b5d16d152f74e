#pragma once

#include "core/base/flags.h"
#include "core/base/pump.h"

// Always-download stays paused for the life of this object: the folder actions move and
// delete whole box folders, which the worker must not be writing into meanwhile.
class WorkerPause {
public:
    WorkerPause(voxmg::Flags& flags, const voxmg::Pump& pump) : m_flags(flags) {
        m_flags.pauseWorker(1, pump);
    }
    ~WorkerPause() { m_flags.resumeWorker(); }
    WorkerPause(const WorkerPause&) = delete;
    WorkerPause& operator=(const WorkerPause&) = delete;

private:
    voxmg::Flags& m_flags;
};
