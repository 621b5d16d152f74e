#pragma once

#include <functional>
#include <memory>

#include "core/device/ftp_types.h"
#include "core/settings/settings.h"

namespace voxmg {
class CFtpMng;
}

// What the frame and its dialogs ask of the connection to the main unit. The real one is a
// thin layer over CFtpMng; tests put a scripted one in its place.
class DeviceSession {
public:
    virtual ~DeviceSession() = default;
    // 0 logged in, 1 connection failed, 2 login refused, 3 unsupported main unit.
    virtual int connectAndLogin(const voxmg::LoginValues& login) = 0;
    virtual bool hasControlConnection() = 0;
    // Drops stray replies, then probes the connection; true when the main unit answered.
    virtual bool drainAndProbe() = 0;
    // QUIT and close.
    virtual void logout() = 0;
    // The client itself, for the engines; null in tests.
    virtual voxmg::CFtpMng* ftp() { return nullptr; }
};

// Makes the frame's connection object (at start and anew on every reconnect); the hooks
// stop and restart the frame's liveness timer around the client's own waits.
using DeviceSessionFactory = std::function<std::unique_ptr<DeviceSession>(voxmg::LivenessHooks hooks)>;
