#include "core/app/liveness.h"

namespace voxmg {

LivenessTicker::Outcome LivenessTicker::tick(const Tick& t) {
    if (!t.backupRunning && t.hasConnection && t.drainAndProbe && !t.drainAndProbe()) {
        // A message box of another failure is still up: the reconnect waits until it is
        // closed, so two dialogs never compete for the user.
        if (t.errorWindowOpen && t.errorWindowOpen()) {
            return Outcome::ProbeFailedWait;
        }
        m_idle = 0;
        return Outcome::ProbeFailedReconnect;
    }
    if (t.loggedIn && ++m_idle >= kIdleLimit) {
        m_idle = 0;
        return Outcome::IdleLogout;
    }
    return Outcome::Nothing;
}

}  // namespace voxmg
