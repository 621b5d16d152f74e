#pragma once

#include <functional>

#include "core/base/flags.h"
#include "core/base/pump.h"
#include "core/device/download_env.h"
#include "gui/base/device_session.h"

// Sessions over CFtpMng; `env` gives each new client what its download engines need.
DeviceSessionFactory ftpSessionFactory(voxmg::Flags& flags, voxmg::Pump pump,
                                       std::function<voxmg::DownloadEnv()> env = {});
