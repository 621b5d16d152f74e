#include "tools/device_login.h"

#include <cstdio>
#include <cstdlib>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "core/mail/mail_hook.h"
#include "core/mail/mail_ledger.h"

namespace voxmg::tools {

bool loginFrom(const Args& args, FtpLogin& login, Settings& settings) {
    std::string ini = optionValue(args, "--ini");
    if (!ini.empty()) {
        settings = loadSettings(ProfileFile::load(ini));
        login = {settings.ip.str(), settings.user.str(), settings.pass.str(), settings.port};
    } else {
        std::string password;
        if (!readPasswordFile(optionValue(args, "--password-file"), password)) {
            return false;
        }
        login = {text::utf16FromUtf8(optionValue(args, "--host")),
                 text::utf16FromUtf8(optionValue(args, "--user")), text::utf16FromUtf8(password), 0};
    }
    if (!optionValue(args, "--port").empty()) {
        login.port = std::atoi(optionValue(args, "--port").c_str());
    }
    return !login.address.empty() && !login.user.empty();
}

nlohmann::ordered_json messageJson(const UserMessage& m) {
    return {{"text", text::utf8FromUtf16(m.text)}, {"caption", text::utf8FromUtf16(m.caption)}};
}

bool connectOrReport(CFtpMng& ftp) {
    LoginResult result = ftp.connectAndLogin();
    if (result == LoginResult::LoggedIn) {
        return true;
    }
    nlohmann::ordered_json out;
    out["login"] = code(result);
    out["summary"] = {{"text", "通信エラーが発生しました。"}, {"caption", "エラー"}};
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return false;
}

namespace {

std::string mailFolderOf(const Args& args) {
    const std::string given = optionValue(args, "--mail-settings");
    return given.empty() ? paths::settingsFolder() : paths::withTrailingSeparator(given);
}

}  // namespace

bool mailCoversDownload(const Args& args, const Settings& settings) {
    const std::string root = optionValue(args, "--root");
    const std::string dataFolder = root.empty() ? text::utf8FromUtf16(settings.folder.str()) : root;
    if (dataFolder.empty() || mail::noteMailRoot(mailFolderOf(args), dataFolder)) {
        return true;
    }
    std::fprintf(stderr, "voxmgctl: メールの送信記録に書き込めません。 %s\n",
                 mail::MailLedger::pathIn(mailFolderOf(args)).c_str());
    return false;
}

DownloadEnv storingEnv(const Args& args, const Settings& settings, const std::string& settingsPath,
                       audio::DecodingEngine& decoder, Flags& flags) {
    DownloadEnv env =
        makeDownloadEnv(settings, settingsPath, decoder, flags, Pump{}, paths::settingsFolder());
    env.messageStored = mail::outboxHook(mailFolderOf(args));
    return env;
}

}  // namespace voxmg::tools
