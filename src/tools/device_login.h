#pragma once

#include <nlohmann/json.hpp>

#include "core/device/bulk_download.h"
#include "core/device/ftp_types.h"
#include "core/settings/settings.h"
#include "tools/command.h"

namespace voxmg {
class CFtpMng;
}

// The connection options of the verbs that act on selected messages, read as `voxmgctl download`
// reads them: --host/--port/--user/--password-file, or --ini with the program's settings.
namespace voxmg::tools {

inline const char* const kLoginUsage = "--host A [--port P] --user U --password-file F | --ini VOXMG.ini";

// False when the options name no host and user (or the password file cannot be read).
bool loginFrom(const Args& args, FtpLogin& login, Settings& settings);

// Logs in; prints the failure as JSON and returns false when it cannot.
bool connectOrReport(CFtpMng& ftp);

nlohmann::ordered_json messageJson(const UserMessage& m);

}  // namespace voxmg::tools
