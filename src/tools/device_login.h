#pragma once

#include <nlohmann/json.hpp>

#include "core/device/bulk_download.h"
#include "core/device/download_env.h"
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

// Whether the mail of new messages covers the data folder a download stores into, noting it
// when it is new; false (said on stderr) when it cannot be noted: the download must not start,
// or the mail of what it stores would be lost.
bool mailCoversDownload(const Args& args, const Settings& settings);

// The download environment of the verbs that store messages: the mail of the program's settings
// folder, or of --mail-settings DIR, learns the data folder of a message stored complete in a
// box with recipients (`voxmgctl mail-send` finds and sends it).
DownloadEnv storingEnv(const Args& args, const Settings& settings, const std::string& settingsPath,
                       audio::DecodingEngine& decoder, Flags& flags);

}  // namespace voxmg::tools
