#include "gui/device/ftp_session.h"

#include "core/device/ftp_mng.h"

namespace {

class FtpDeviceSession final : public DeviceSession {
public:
    FtpDeviceSession(voxmg::Flags& flags, voxmg::Pump pump, voxmg::LivenessHooks hooks,
                     voxmg::DownloadEnv env)
        : m_ftp(voxmg::FtpLogin{}, flags, std::move(pump)) {
        m_ftp.setLivenessHooks(std::move(hooks));
        m_ftp.setDownloadEnv(std::move(env));
    }

    int connectAndLogin(const voxmg::LoginValues& login) override {
        m_ftp.setLogin(voxmg::FtpLogin{login.ip.str(), login.user.str(), login.pass.str(), login.port});
        return voxmg::code(m_ftp.connectAndLogin());
    }
    bool hasControlConnection() override {
        auto* conn = m_ftp.connection();
        return conn != nullptr && conn->control.valid();
    }
    bool drainAndProbe() override {
        m_ftp.drainReplies();
        return m_ftp.probe() == 1;
    }
    void logout() override { m_ftp.disconnect(); }

private:
    voxmg::CFtpMng* client() override { return &m_ftp; }

    voxmg::CFtpMng m_ftp;
};

}  // namespace

DeviceSessionFactory ftpSessionFactory(voxmg::Flags& flags, voxmg::Pump pump,
                                       std::function<voxmg::DownloadEnv()> env) {
    return [&flags, pump = std::move(pump),
            env = std::move(env)](voxmg::LivenessHooks hooks) -> std::unique_ptr<DeviceSession> {
        return std::make_unique<FtpDeviceSession>(flags, pump, std::move(hooks),
                                                  env ? env() : voxmg::DownloadEnv{});
    };
}
