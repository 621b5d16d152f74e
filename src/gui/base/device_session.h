#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "core/base/flags.h"
#include "core/device/ftp_mng.h"
#include "core/device/ftp_types.h"
#include "core/settings/settings.h"

// The window's hold on the main unit's connection. While it lives the always-download worker is
// paused (a box in progress hands over after its file, or at once for `Hand::Now`) and the
// client waits pumping the window's events; it is the only way the window's code reaches the
// client. The client is null when the session has none (logged out in tests); the pause holds
// all the same, so an operation on the PC alone is kept apart from the worker as well.
class FtpLease {
public:
    FtpLease(voxmg::Flags& flags, const voxmg::Pump& pump, voxmg::CFtpMng* client,
             voxmg::WorkerGate::Hand hand = voxmg::WorkerGate::Hand::AfterFile)
        : m_flags(flags), m_client(client) {
        m_flags.pauseWorker(1, pump, hand);
        if (m_client != nullptr) {
            m_pumped.emplace(*m_client, pump);
        }
    }
    ~FtpLease() {
        m_pumped.reset();
        m_flags.resumeWorker();
    }
    FtpLease(const FtpLease&) = delete;
    FtpLease& operator=(const FtpLease&) = delete;

    voxmg::CFtpMng* client() const { return m_client; }
    voxmg::CFtpMng* operator->() const { return m_client; }
    explicit operator bool() const { return m_client != nullptr; }

private:
    voxmg::Flags& m_flags;
    voxmg::CFtpMng* m_client;
    std::optional<voxmg::CFtpMng::PumpScope> m_pumped;
};

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

    // The frame ties the session to the program's flags and pump when it makes it.
    void bind(voxmg::Flags& flags, voxmg::Pump pump) {
        m_flags = &flags;
        m_pump = std::move(pump);
    }
    // The client for the engines, with always-download paused for as long as the lease lives.
    [[nodiscard]] FtpLease acquire(voxmg::WorkerGate::Hand hand = voxmg::WorkerGate::Hand::AfterFile) {
        return FtpLease(m_flags != nullptr ? *m_flags : m_unbound, m_pump, client(), hand);
    }

private:
    friend class ConnectionSupervisor;  // hands the client to the worker, box by box
    // The client itself; null in tests.
    virtual voxmg::CFtpMng* client() { return nullptr; }

    voxmg::Flags* m_flags = nullptr;
    voxmg::Flags m_unbound;  // a session made outside a frame pauses nothing
    voxmg::Pump m_pump;
};

// Makes the frame's connection object (at start and anew on every reconnect); the hooks
// stop and restart the frame's liveness timer around the client's own waits.
using DeviceSessionFactory = std::function<std::unique_ptr<DeviceSession>(voxmg::LivenessHooks hooks)>;
