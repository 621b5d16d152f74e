#pragma once

#include <functional>

namespace voxmg {

// "Dispatch at most one pending window message". Blocking waits of the user-interface thread
// call it so that progress dialogs and their Cancel button stay live. The gui passes a
// function that processes Qt events; tests and the always-download worker pass a no-op.
using Pump = std::function<void()>;

inline void pumpOnce(const Pump& pump) {
    if (pump) {
        pump();
    }
}

}  // namespace voxmg
