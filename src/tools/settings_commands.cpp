// voxmgctl settings show INI / settings save IN OUT

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "core/base/text.h"
#include "core/settings/settings.h"
#include "tools/command.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

std::string utf8(std::u16string_view s) {
    return text::utf8FromUtf16(s);
}
std::string numbered(const char* base, int n) {
    return base + std::to_string(n);
}
// Switches are shown as the file holds them, 1 or 0, not as JSON true/false.
int switchValue(bool on) {
    return on ? 1 : 0;
}

// The settings block as loaded, in the file's sections and key names.
Json settingsJson(const Settings& s) {
    Json j;
    Json& login = j["LOGIN"];
    login["IP"] = utf8(s.ip);
    login["USER"] = utf8(s.user);
    // Whether a password is kept, never the password: the JSON goes to logs and terminals.
    login["PASS"] = s.pass.empty() ? "not set" : "set";
    login["CHECK"] = switchValue(s.check);
    if (s.port != 0) {
        login["PORT"] = s.port;
    }
    Json& folder = j["FOLDER"];
    folder["FOLDER"] = utf8(s.folder);
    folder["INIT"] = s.init;
    folder["NEXTFOLDER"] = utf8(s.nextFolder);
    folder["NEXTFOLDERNAME"] = utf8(s.nextFolderName);
    folder["CHANGE"] = s.change;
    Json& disp = j["DISP"];
    disp["FOLDERNAME"] = utf8(s.folderName);
    disp["NUM"] = s.num;
    for (int n = 1; n <= 4; ++n) {
        disp[numbered("DISP", n)] = utf8(s.disp[n - 1]);
        disp[numbered("FOLDERNAME", n)] = utf8(s.folderNames[n - 1]);
    }
    for (int n = 1; n <= 13; ++n) {
        disp[numbered("COLUM", n)] = utf8(s.columns[n - 1]);
    }
    for (int n = 1; n <= 13; ++n) {
        disp[numbered("DELCOLUM", n)] = utf8(s.delColumns[n - 1]);
    }
    j["CONVERT"] = {{"DOWNCONV", switchValue(s.downConv)}, {"CONVDEL", switchValue(s.convDel)}};
    j["EXPORT"] = {{"PATH", utf8(s.exportPath)}, {"Name", utf8(s.exportName)}};
    j["IMPORT"] = {{"PATH", utf8(s.importPath)}, {"Name", utf8(s.importName)}};
    j["CODEC"] = {{"SYSADDFOLDER", utf8(s.sysAddFolder)},
                  {"LEVELRVWAVOR", s.levelWavOr},
                  {"LEVELRVWMAOR", s.levelWmaOr},
                  {"LEVELRVORWAV", s.levelOrWav}};
    j["BACKUP"] = {{"HINDO", s.hindo},        {"YOUBI", s.youbi},           {"HI", s.hi},
                   {"JIKOKUHH", s.jikokuHH},  {"JIKOKUMM", s.jikokuMM},     {"ZENKAIBI", utf8(s.zenkaiBi)},
                   {"ZENKAIKA", s.zenkaiKa},  {"YOTEIBI", utf8(s.yoteiBi)}, {"RETRYCNT", s.retryCnt},
                   {"RETRYWAIT", s.retryWait}};
    j["Download"] = {{"Always", switchValue(s.always)}};
    j["WavSave"] = {{"Enable", switchValue(s.wavSaveEnable)}, {"Path", utf8(s.wavSavePath)}};
    return j;
}

// A settings file that is there and cannot be read (a folder by its name, no permission): said
// with its name, never read as empty settings.
bool unreadable(const ProfileFile& file) {
    if (file.loadError() == 0) {
        return false;
    }
    std::fprintf(stderr, "voxmgctl: 設定ファイルを読み込めません: %s (%s)\n", file.path().c_str(),
                 std::strerror(file.loadError()));
    return true;
}

int runSettings(const Args& args) {
    if (args.size() == 2 && args[0] == "show") {
        const ProfileFile in = ProfileFile::load(args[1]);
        if (unreadable(in)) {
            return 1;
        }
        Settings s = loadSettings(in);
        std::printf("%s\n",
                    settingsJson(s).dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return 0;
    }
    if (args.size() == 3 && args[0] == "save") {
        // As the program does at exit: the settings block is written over whatever OUT holds,
        // keeping its other sections and lines.
        const ProfileFile in = ProfileFile::load(args[1]);
        ProfileFile out = ProfileFile::load(args[2]);
        if (unreadable(in) || unreadable(out)) {
            return 1;
        }
        Settings s = loadSettings(in);
        saveSettings(s, out);
        if (!out.save(kSettingsFileMode)) {
            std::fprintf(stderr, "voxmgctl: cannot write %s\n", args[2].c_str());
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "usage: voxmgctl settings show INI | settings save IN OUT\n");
    return 2;
}

CommandRegistrar settingsCommand{
    Command{"settings", "settings show INI | settings save IN OUT", runSettings}};

}  // namespace
}  // namespace voxmg::tools
