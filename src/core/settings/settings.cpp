#include "core/settings/settings.h"

#include <array>
#include <cstddef>
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

// The Windows program tests its switches with "== 1": any other value is off.
bool switchOn(int value) {
    return value == 1;
}

// Reads keys the way every loader here does; the lower bounds are those of the Windows program.
class SettingsReader {
public:
    explicit SettingsReader(const ProfileFile& file) : m_file(file) {}

    std::u16string text(std::u16string_view section, std::u16string_view key) const {
        return m_file.readString(section, key, u"");
    }
    int integer(std::u16string_view section, std::u16string_view key, int def) const {
        return m_file.readInt(section, key, def);
    }
    // Most integers: a negative value becomes the default 0.
    int nonNegative(std::u16string_view section, std::u16string_view key) const {
        return atLeast(integer(section, key, 0), 0, 0);
    }
    bool onOff(std::u16string_view section, std::u16string_view key) const {
        return switchOn(nonNegative(section, key));
    }
    // The numbered keys PREFIX1 to PREFIXn into the n slots, in order.
    template <std::size_t N, std::size_t Length>
    void numberedTexts(std::u16string_view section, std::u16string_view prefix,
                       std::array<FixedText<Length>, N>& slots) const {
        for (std::size_t i = 0; i < N; ++i) {
            slots[i] = text(section, numbered(prefix, static_cast<int>(i) + 1));
        }
    }

private:
    const ProfileFile& m_file;
};

void loadLogin(const SettingsReader& r, Settings& s) {
    s.ip = r.text(u"LOGIN", u"IP");
    s.user = r.text(u"LOGIN", u"USER");
    s.pass = r.text(u"LOGIN", u"PASS");
    s.check = r.onOff(u"LOGIN", u"CHECK");
    s.port = r.integer(u"LOGIN", u"PORT", 0);
    if (s.port < 0 || s.port > 65535) {
        s.port = 0;
    }
}

void loadFolders(const SettingsReader& r, Settings& s) {
    s.folder = r.text(u"FOLDER", u"FOLDER");
    s.init = r.nonNegative(u"FOLDER", u"INIT");
    s.nextFolder = r.text(u"FOLDER", u"NEXTFOLDER");
    s.nextFolderName = r.text(u"FOLDER", u"NEXTFOLDERNAME");
    s.change = r.nonNegative(u"FOLDER", u"CHANGE");

    s.folderName = r.text(u"DISP", u"FOLDERNAME");
    s.num = r.nonNegative(u"DISP", u"NUM");
    // All four list slots are read whatever NUM says.
    r.numberedTexts(u"DISP", u"DISP", s.disp);
    r.numberedTexts(u"DISP", u"FOLDERNAME", s.folderNames);
    r.numberedTexts(u"DISP", u"COLUM", s.columns);
    r.numberedTexts(u"DISP", u"DELCOLUM", s.delColumns);
}

void loadConversion(const SettingsReader& r, Settings& s) {
    s.downConv = r.onOff(u"CONVERT", u"DOWNCONV");
    s.convDel = r.onOff(u"CONVERT", u"CONVDEL");

    s.exportPath = r.text(u"EXPORT", u"PATH");
    s.exportName = r.text(u"EXPORT", u"Name");
    s.importPath = r.text(u"IMPORT", u"PATH");
    s.importName = r.text(u"IMPORT", u"Name");

    s.sysAddFolder = r.text(u"CODEC", u"SYSADDFOLDER");
    // Level settings keep negative values: they are gains in dB.
    s.levelWavOr = r.integer(u"CODEC", u"LEVELRVWAVOR", 0);
    s.levelWmaOr = r.integer(u"CODEC", u"LEVELRVWMAOR", 0);
    s.levelOrWav = r.integer(u"CODEC", u"LEVELRVORWAV", 0);
}

void loadBackup(const SettingsReader& r, Settings& s) {
    s.hindo = r.nonNegative(u"BACKUP", u"HINDO");
    s.youbi = r.nonNegative(u"BACKUP", u"YOUBI");
    s.hi = atLeast(r.integer(u"BACKUP", u"HI", 1), 0, 1);
    s.jikokuHH = r.nonNegative(u"BACKUP", u"JIKOKUHH");
    s.jikokuMM = r.nonNegative(u"BACKUP", u"JIKOKUMM");
    s.zenkaiBi = r.text(u"BACKUP", u"ZENKAIBI");
    s.zenkaiKa = r.nonNegative(u"BACKUP", u"ZENKAIKA");
    s.yoteiBi = r.text(u"BACKUP", u"YOTEIBI");
    s.retryCnt = atLeast(r.integer(u"BACKUP", u"RETRYCNT", 3), 1, 1);
    s.retryWait = atLeast(r.integer(u"BACKUP", u"RETRYWAIT", 60000), 10000, 10000);
}

void loadDownload(const SettingsReader& r, Settings& s) {
    s.always = r.onOff(u"Download", u"Always");
    s.wavSaveEnable = r.onOff(u"WavSave", u"Enable");
    s.wavSavePath = r.text(u"WavSave", u"Path");
    // Our extensions: PANE and BUTTON are on only at 1, Notice is on unless it is 0.
    s.playerPane = r.integer(u"PLAYER", u"PANE", 0) == 1;
    s.playerButton = r.integer(u"PLAYER", u"BUTTON", 0) == 1;
    s.newMessageNotice = r.integer(u"Download", u"Notice", 1) != 0;
}

// Writes keys in the order they are called, over the values the file holds now.
class SettingsWriter {
public:
    explicit SettingsWriter(ProfileFile& file) : m_file(file) {}

    void text(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
        m_file.writeString(section, key, value);
    }
    void integer(std::u16string_view section, std::u16string_view key, int value) {
        m_file.writeInt(section, key, value);
    }
    // A value the file holds that means the same state (a 2 left by a hand edit or by another
    // program, say) is written back as it was read; only a flipped switch becomes 1 or 0.
    void onOff(std::u16string_view section, std::u16string_view key, bool on) {
        const int held = atLeast(m_file.readInt(section, key, 0), 0, 0);
        integer(section, key, switchOn(held) == on ? held : (on ? 1 : 0));
    }
    // Our extensions: a switch left at its default stays out of the file, so a file shared
    // with the Windows program gains nothing it does not know.
    void extension(std::u16string_view section, std::u16string_view key, bool on, bool def) {
        const int value = on ? 1 : 0;
        const int defValue = def ? 1 : 0;
        if (value != defValue || m_file.readInt(section, key, defValue) != defValue) {
            integer(section, key, value);
        }
    }

private:
    ProfileFile& m_file;
};

void saveLogin(const Settings& s, SettingsWriter& w) {
    // With CHECK 0 the dialog left the persistent copy empty; write whatever the block holds.
    w.text(u"LOGIN", u"IP", s.ip);
    w.text(u"LOGIN", u"USER", s.user);
    w.text(u"LOGIN", u"PASS", s.pass);
    w.onOff(u"LOGIN", u"CHECK", s.check);
    if (s.port != 0) {
        w.integer(u"LOGIN", u"PORT", s.port);
    }
}

void saveFolders(const Settings& s, SettingsWriter& w) {
    // A changed start-up folder takes over at the next start, so the old root is not kept.
    const bool changed = s.change == 1;
    std::u16string root;
    if (!changed && !s.folder.empty()) {
        root = s.folder.str();
        if (root.back() != u'/') {
            root.push_back(u'/');
        }
    }
    w.text(u"FOLDER", u"FOLDER", FixedText<259>(root));
    w.integer(u"FOLDER", u"INIT", s.init);
    w.text(u"FOLDER", u"NEXTFOLDER", s.nextFolder);
    w.text(u"FOLDER", u"NEXTFOLDERNAME", s.nextFolderName);
    w.integer(u"FOLDER", u"CHANGE", s.change);

    w.text(u"DISP", u"FOLDERNAME", changed ? s.nextFolderName.str() : s.folderName.str());
    w.integer(u"DISP", u"NUM", changed ? 0 : s.num);
    for (int n = 1; n <= 4; ++n) {
        w.text(u"DISP", numbered(u"DISP", n), changed ? std::u16string_view{} : s.disp[n - 1].str());
        w.text(u"DISP", numbered(u"FOLDERNAME", n), s.folderNames[n - 1]);
    }
}

void saveConversion(const Settings& s, SettingsWriter& w) {
    w.onOff(u"CONVERT", u"DOWNCONV", s.downConv);
    w.onOff(u"CONVERT", u"CONVDEL", s.convDel);
    w.text(u"EXPORT", u"PATH", s.exportPath);
    w.text(u"EXPORT", u"Name", s.exportName);
    w.text(u"IMPORT", u"PATH", s.importPath);
    w.text(u"IMPORT", u"Name", s.importName);
    w.text(u"CODEC", u"SYSADDFOLDER", s.sysAddFolder);
    w.integer(u"CODEC", u"LEVELRVWAVOR", s.levelWavOr);
    w.integer(u"CODEC", u"LEVELRVWMAOR", s.levelWmaOr);
    w.integer(u"CODEC", u"LEVELRVORWAV", s.levelOrWav);
}

void saveBackup(const Settings& s, SettingsWriter& w) {
    w.integer(u"BACKUP", u"HINDO", s.hindo);
    w.integer(u"BACKUP", u"YOUBI", s.youbi);
    w.integer(u"BACKUP", u"HI", s.hi);
    w.integer(u"BACKUP", u"JIKOKUHH", s.jikokuHH);
    w.integer(u"BACKUP", u"JIKOKUMM", s.jikokuMM);
    w.text(u"BACKUP", u"ZENKAIBI", s.zenkaiBi);
    w.integer(u"BACKUP", u"ZENKAIKA", s.zenkaiKa);
    w.text(u"BACKUP", u"YOTEIBI", s.yoteiBi);
    w.integer(u"BACKUP", u"RETRYCNT", s.retryCnt);
    w.integer(u"BACKUP", u"RETRYWAIT", s.retryWait);
}

void saveDownload(const Settings& s, SettingsWriter& w) {
    w.onOff(u"Download", u"Always", s.always);
    w.onOff(u"WavSave", u"Enable", s.wavSaveEnable);
    w.text(u"WavSave", u"Path", s.wavSavePath);
    w.extension(u"PLAYER", u"PANE", s.playerPane, false);
    w.extension(u"PLAYER", u"BUTTON", s.playerButton, false);
    w.extension(u"Download", u"Notice", s.newMessageNotice, true);
}

// One of the two column lists: every key emptied first, then the names from the first key on
// (as many as there are keys). Emptying all of them before writing any leaves no name of the
// old list behind the new one. The slots keep what the keys now hold.
template <std::size_t N, std::size_t Length>
void writeColumnList(ProfileFile& f, std::u16string_view prefix, std::array<FixedText<Length>, N>& slots,
                     const std::vector<std::u16string>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        f.writeString(u"DISP", numbered(prefix, static_cast<int>(i) + 1), u"");
        slots[i].clear();
    }
    for (std::size_t i = 0; i < names.size() && i < N; ++i) {
        slots[i] = names[i];
        f.writeString(u"DISP", numbered(prefix, static_cast<int>(i) + 1), slots[i]);
    }
}

}  // namespace

std::string settingsFilePath(const std::string& programFolder) {
    return paths::join(programFolder, "VOXMG.ini");
}

Settings loadSettings(const ProfileFile& file) {
    const SettingsReader reader(file);
    Settings s;
    loadLogin(reader, s);
    loadFolders(reader, s);
    loadConversion(reader, s);
    loadBackup(reader, s);
    loadDownload(reader, s);
    return s;
}

void saveSettings(const Settings& settings, ProfileFile& file) {
    SettingsWriter writer(file);
    saveLogin(settings, writer);
    saveFolders(settings, writer);
    saveConversion(settings, writer);
    saveBackup(settings, writer);
    saveDownload(settings, writer);
}

void writeDisplayColumns(ProfileFile& f, Settings& s, const std::vector<std::u16string>& shown,
                         const std::vector<std::u16string>& hidden) {
    writeColumnList(f, u"COLUM", s.columns, shown);
    writeColumnList(f, u"DELCOLUM", s.delColumns, hidden);
}

bool readAutoDelete(const ProfileFile& f, std::u16string_view kind, std::u16string_view box) {
    return f.readInt(kind, box, 0) == 1;
}

void writeAutoDelete(ProfileFile& f, std::u16string_view kind, std::u16string_view box, bool on) {
    f.writeString(kind, box, on ? u"1" : u"0");
}

}  // namespace voxmg
