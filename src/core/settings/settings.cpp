#include "core/settings/settings.h"

#include <string>

#include "core/base/paths.h"

namespace voxmg {
namespace {

std::u16string numbered(std::u16string_view base, int n) {
    return std::u16string(base) + text::utf16FromUtf8(std::to_string(n));
}

int atLeast(int value, int minimum, int replacement) {
    return value < minimum ? replacement : value;
}

}  // namespace

std::string settingsFilePath(const std::string& programFolder) {
    return paths::join(programFolder, "VOXMG.ini");
}

Settings loadSettings(const ProfileFile& f) {
    Settings s;
    auto str = [&](std::u16string_view section, std::u16string_view key) {
        return f.readString(section, key, u"");
    };
    // Most integers: a negative value becomes the default 0.
    auto nonNegative = [&](std::u16string_view section, std::u16string_view key, int def) {
        return atLeast(f.readInt(section, key, def), 0, 0);
    };

    s.ip = str(u"LOGIN", u"IP");
    s.user = str(u"LOGIN", u"USER");
    s.pass = str(u"LOGIN", u"PASS");
    s.check = nonNegative(u"LOGIN", u"CHECK", 0);
    s.port = f.readInt(u"LOGIN", u"PORT", 0);
    if (s.port < 0 || s.port > 65535) {
        s.port = 0;
    }

    s.folder = str(u"FOLDER", u"FOLDER");
    s.init = nonNegative(u"FOLDER", u"INIT", 0);
    s.nextFolder = str(u"FOLDER", u"NEXTFOLDER");
    s.nextFolderName = str(u"FOLDER", u"NEXTFOLDERNAME");
    s.change = nonNegative(u"FOLDER", u"CHANGE", 0);

    s.folderName = str(u"DISP", u"FOLDERNAME");
    s.num = nonNegative(u"DISP", u"NUM", 0);
    // All four list slots are read whatever NUM says.
    for (int n = 1; n <= 4; ++n) {
        s.disp[n - 1] = str(u"DISP", numbered(u"DISP", n));
        s.folderNames[n - 1] = str(u"DISP", numbered(u"FOLDERNAME", n));
    }
    for (int n = 1; n <= 13; ++n) {
        s.columns[n - 1] = str(u"DISP", numbered(u"COLUM", n));
        s.delColumns[n - 1] = str(u"DISP", numbered(u"DELCOLUM", n));
    }

    s.downConv = nonNegative(u"CONVERT", u"DOWNCONV", 0);
    s.convDel = nonNegative(u"CONVERT", u"CONVDEL", 0);

    s.exportPath = str(u"EXPORT", u"PATH");
    s.exportName = str(u"EXPORT", u"Name");
    s.importPath = str(u"IMPORT", u"PATH");
    s.importName = str(u"IMPORT", u"Name");

    s.sysAddFolder = str(u"CODEC", u"SYSADDFOLDER");
    // Level settings keep negative values: they are gains in dB.
    s.levelWavOr = f.readInt(u"CODEC", u"LEVELRVWAVOR", 0);
    s.levelWmaOr = f.readInt(u"CODEC", u"LEVELRVWMAOR", 0);
    s.levelOrWav = f.readInt(u"CODEC", u"LEVELRVORWAV", 0);

    s.hindo = nonNegative(u"BACKUP", u"HINDO", 0);
    s.youbi = nonNegative(u"BACKUP", u"YOUBI", 0);
    s.hi = atLeast(f.readInt(u"BACKUP", u"HI", 1), 0, 1);
    s.jikokuHH = nonNegative(u"BACKUP", u"JIKOKUHH", 0);
    s.jikokuMM = nonNegative(u"BACKUP", u"JIKOKUMM", 0);
    s.zenkaiBi = str(u"BACKUP", u"ZENKAIBI");
    s.zenkaiKa = nonNegative(u"BACKUP", u"ZENKAIKA", 0);
    s.yoteiBi = str(u"BACKUP", u"YOTEIBI");
    s.retryCnt = atLeast(f.readInt(u"BACKUP", u"RETRYCNT", 3), 1, 1);
    s.retryWait = atLeast(f.readInt(u"BACKUP", u"RETRYWAIT", 60000), 10000, 10000);

    s.always = nonNegative(u"Download", u"Always", 0);
    s.wavSaveEnable = nonNegative(u"WavSave", u"Enable", 0);
    s.wavSavePath = str(u"WavSave", u"Path");
    s.playerPane = f.readInt(u"PLAYER", u"PANE", 0) == 1 ? 1 : 0;
    s.playerButton = f.readInt(u"PLAYER", u"BUTTON", 0) == 1 ? 1 : 0;
    s.newMessageNotice = f.readInt(u"Download", u"Notice", 1) == 0 ? 0 : 1;
    return s;
}

void saveSettings(const Settings& s, ProfileFile& f) {
    auto num = [&](std::u16string_view section, std::u16string_view key, int value) {
        f.writeInt(section, key, value);
    };
    auto str = [&](std::u16string_view section, std::u16string_view key, std::u16string_view value) {
        f.writeString(section, key, value);
    };

    // With CHECK 0 the dialog left the persistent copy empty; write whatever the block holds.
    str(u"LOGIN", u"IP", s.ip);
    str(u"LOGIN", u"USER", s.user);
    str(u"LOGIN", u"PASS", s.pass);
    num(u"LOGIN", u"CHECK", s.check);
    if (s.port != 0) {
        num(u"LOGIN", u"PORT", s.port);
    }

    // A changed start-up folder takes over at the next start, so the old root is not kept.
    std::u16string root;
    if (s.change != 1 && !s.folder.empty()) {
        root = s.folder.str();
        if (root.back() != u'/') {
            root.push_back(u'/');
        }
    }
    str(u"FOLDER", u"FOLDER", FixedText<259>(root));
    num(u"FOLDER", u"INIT", s.init);
    str(u"FOLDER", u"NEXTFOLDER", s.nextFolder);
    str(u"FOLDER", u"NEXTFOLDERNAME", s.nextFolderName);
    num(u"FOLDER", u"CHANGE", s.change);

    const bool changed = s.change == 1;
    str(u"DISP", u"FOLDERNAME", changed ? s.nextFolderName.str() : s.folderName.str());
    num(u"DISP", u"NUM", changed ? 0 : s.num);
    for (int n = 1; n <= 4; ++n) {
        str(u"DISP", numbered(u"DISP", n), changed ? std::u16string_view{} : s.disp[n - 1].str());
        str(u"DISP", numbered(u"FOLDERNAME", n), s.folderNames[n - 1]);
    }

    num(u"CONVERT", u"DOWNCONV", s.downConv);
    num(u"CONVERT", u"CONVDEL", s.convDel);
    str(u"EXPORT", u"PATH", s.exportPath);
    str(u"EXPORT", u"Name", s.exportName);
    str(u"IMPORT", u"PATH", s.importPath);
    str(u"IMPORT", u"Name", s.importName);
    str(u"CODEC", u"SYSADDFOLDER", s.sysAddFolder);
    num(u"CODEC", u"LEVELRVWAVOR", s.levelWavOr);
    num(u"CODEC", u"LEVELRVWMAOR", s.levelWmaOr);
    num(u"CODEC", u"LEVELRVORWAV", s.levelOrWav);
    num(u"BACKUP", u"HINDO", s.hindo);
    num(u"BACKUP", u"YOUBI", s.youbi);
    num(u"BACKUP", u"HI", s.hi);
    num(u"BACKUP", u"JIKOKUHH", s.jikokuHH);
    num(u"BACKUP", u"JIKOKUMM", s.jikokuMM);
    str(u"BACKUP", u"ZENKAIBI", s.zenkaiBi);
    num(u"BACKUP", u"ZENKAIKA", s.zenkaiKa);
    str(u"BACKUP", u"YOTEIBI", s.yoteiBi);
    num(u"BACKUP", u"RETRYCNT", s.retryCnt);
    num(u"BACKUP", u"RETRYWAIT", s.retryWait);
    num(u"Download", u"Always", s.always);
    num(u"WavSave", u"Enable", s.wavSaveEnable);
    str(u"WavSave", u"Path", s.wavSavePath);

    // A switch left at its default stays out of the file, so a file shared with the Windows
    // program gains nothing it does not know.
    auto extension = [&](std::u16string_view section, std::u16string_view key, int value, int def) {
        if (value != def || f.readInt(section, key, def) != def) {
            num(section, key, value);
        }
    };
    extension(u"PLAYER", u"PANE", s.playerPane, 0);
    extension(u"PLAYER", u"BUTTON", s.playerButton, 0);
    extension(u"Download", u"Notice", s.newMessageNotice, 1);
}

void writeDisplayColumns(ProfileFile& f, Settings& s, const std::vector<std::u16string>& shown,
                         const std::vector<std::u16string>& hidden) {
    for (int n = 1; n <= 13; ++n) {
        f.writeString(u"DISP", numbered(u"COLUM", n), u"");
        s.columns[n - 1].clear();
    }
    for (int n = 1; n <= 13; ++n) {
        f.writeString(u"DISP", numbered(u"DELCOLUM", n), u"");
        s.delColumns[n - 1].clear();
    }
    for (std::size_t i = 0; i < shown.size() && i < 13; ++i) {
        s.columns[i] = shown[i];
        f.writeString(u"DISP", numbered(u"COLUM", static_cast<int>(i) + 1), s.columns[i]);
    }
    for (std::size_t i = 0; i < hidden.size() && i < 13; ++i) {
        s.delColumns[i] = hidden[i];
        f.writeString(u"DISP", numbered(u"DELCOLUM", static_cast<int>(i) + 1), s.delColumns[i]);
    }
}

bool readAutoDelete(const ProfileFile& f, std::u16string_view kind, std::u16string_view box) {
    return f.readInt(kind, box, 0) == 1;
}

void writeAutoDelete(ProfileFile& f, std::u16string_view kind, std::u16string_view box, bool on) {
    f.writeString(kind, box, on ? u"1" : u"0");
}

}  // namespace voxmg
