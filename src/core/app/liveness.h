#pragma once

#include <functional>

namespace voxmg {

// The decisions of the 12-second liveness timer: probe the connection, and log out after
// 100 ticks (20 minutes) without an operation.
class LivenessTicker {
public:
    static constexpr int kIdleLimit = 100;

    enum class Outcome {
        Nothing,               // nothing to do this tick
        ProbeFailedWait,       // logged out; an "エラー" box is open, so the next tick tries again
        ProbeFailedReconnect,  // logged out; stop the timer and offer the reconnect
        IdleLogout,            // stop the timer and log out
    };

    struct Tick {
        bool backupRunning = false;
        bool hasConnection = false;
        bool loggedIn = false;
        std::function<bool()> drainAndProbe;    // true when the main unit answered
        std::function<bool()> errorWindowOpen;  // a window titled "エラー" exists
    };

    Outcome tick(const Tick& t);
    // An operation talked to the main unit (or always-download fetched a box).
    void reset() { m_idle = 0; }
    int idle() const { return m_idle; }

private:
    int m_idle = 0;
};

}  // namespace voxmg
