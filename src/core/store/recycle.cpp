#include "core/store/recycle.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string_view>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/folder_ops.h"

namespace voxmg {
namespace {

constexpr std::u16string_view kCount = u"COUNT";
constexpr std::u16string_view kOrgPath = u"OrgPath";
constexpr std::u16string_view kDstPath = u"DstPath";
constexpr int kMaxSections = 1000;
// Fresh names tried before a recycle gives up; a clash needs the same folder name and the
// same 15-bit number, so more than one retry is already rare.
constexpr int kNameTries = 64;

std::u16string sectionName(int n) {
    return u"FOLDER" + text::utf16FromUtf8(std::to_string(n));
}

std::string recycledName(std::string_view name, unsigned random) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%05x", random & 0x7fffu);
    return std::string(name) + "_" + digits;
}

// The list is a CP932 file: a path with a character CP932 has no form for would come back
// as "?" and the folder could never be found again.
bool survivesList(const std::string& path) {
    return text::utf8FromCp932(text::cp932FromUtf8(path)) == path;
}

RecycleList::Random clockSeededRandom() {
    auto seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    auto engine = std::make_shared<std::minstd_rand>(seed);
    return [engine] { return static_cast<unsigned>((*engine)()); };
}

}  // namespace

RecycleList::RecycleList(std::string programFolder, Random random)
    : m_tmp(paths::join(programFolder, "tmp")), m_random(random ? std::move(random) : clockSeededRandom()) {}

std::string RecycleList::listPath() const {
    return paths::join(m_tmp, "info.ini");
}

int RecycleList::count() const {
    return profile::readInt(listPath(), kCount, kCount, 0);
}

std::vector<FLDLIST_RECYCLE> RecycleList::entries() const {
    ProfileFile list = ProfileFile::load(listPath());
    int n = std::min(list.readInt(kCount, kCount, 0), kMaxSections);
    std::vector<FLDLIST_RECYCLE> out;
    for (int i = 1; i <= n; ++i) {
        std::u16string org = list.readString(sectionName(i), kOrgPath, u"");
        if (org.empty()) {
            continue;
        }
        FLDLIST_RECYCLE entry;
        entry.orgPath = text::utf8FromUtf16(org);
        entry.name = std::string(paths::fileName(entry.orgPath));
        entry.dstPath = text::utf8FromUtf16(list.readString(sectionName(i), kDstPath, u""));
        entry.section = i;
        out.push_back(std::move(entry));
    }
    return out;
}

bool RecycleList::ensureFolder() const {
    if (folders::isFolder(m_tmp)) {
        return true;
    }
    if (::mkdir(m_tmp.c_str(), 0755) != 0) {
        return false;
    }
    ProfileFile list(listPath());
    list.writeInt(kCount, kCount, 0);
    return list.save();
}

bool RecycleList::recycle(const std::string& folder) {
    std::string name(paths::fileName(folder));
    if (!folders::isFolder(folder) || paths::isUnsafeName(name) || !survivesList(folder) || !ensureFolder()) {
        return false;
    }
    std::string recycled;
    for (int i = 0; i < kNameTries && recycled.empty(); ++i) {
        std::string candidate = recycledName(name, m_random());
        struct stat st {};
        if (::lstat(paths::join(m_tmp, candidate).c_str(), &st) != 0) {
            recycled = candidate;
        }
    }
    std::string target = paths::join(m_tmp, recycled);
    if (recycled.empty() || !folders::moveFolder(folder, target)) {
        return false;
    }
    ProfileFile list = ProfileFile::load(listPath());
    int n = list.readInt(kCount, kCount, 0);
    if (n < 0 || !list.keys(sectionName(n + 1)).empty()) {
        n = renumber(list);  // COUNT disagrees with the sections: never write over an entry
    }
    list.writeString(sectionName(n + 1), kOrgPath, text::utf16FromUtf8(folder));
    list.writeString(sectionName(n + 1), kDstPath, text::utf16FromUtf8("./tmp/" + recycled));
    list.writeInt(kCount, kCount, n + 1);
    if (!list.save()) {
        folders::moveFolder(target, folder);  // an unlisted folder in the area would be lost
        return false;
    }
    return true;
}

int RecycleList::restore(const std::vector<FLDLIST_RECYCLE>& chosen) {
    ProfileFile list = ProfileFile::load(listPath());
    int restored = 0;
    for (const auto& entry : chosen) {
        std::u16string section = sectionName(entry.section);
        std::string org = text::utf8FromUtf16(list.readString(section, kOrgPath, u""));
        std::string from = resolveDst(text::utf8FromUtf16(list.readString(section, kDstPath, u"")));
        if (org.empty() || from.empty() || !folders::moveFolder(from, org)) {
            continue;  // the entry stays; its folder is still in the area
        }
        list.removeSection(section);
        ++restored;
    }
    renumber(list);
    list.save();
    return restored;
}

int RecycleList::renumber(ProfileFile& list) {
    int next = 1;
    for (int j = 1; j <= kMaxSections; ++j) {
        std::u16string section = sectionName(j);
        std::u16string org = list.readString(section, kOrgPath, u"");
        std::u16string dst = list.readString(section, kDstPath, u"");
        bool keep = !org.empty() && !dst.empty();
        if (keep && next < j) {
            list.removeSection(sectionName(next));
            list.writeString(sectionName(next), kOrgPath, org);
            list.writeString(sectionName(next), kDstPath, dst);
        }
        if (!keep || next < j) {
            list.removeSection(section);
        }
        if (keep) {
            ++next;
        }
    }
    // COUNT follows the sections kept, so the list agrees with itself even after a restore
    // whose move failed or a hand-edited file.
    list.writeInt(kCount, kCount, next - 1);
    return next - 1;
}

std::string RecycleList::resolveDst(const std::string& dstPath) const {
    std::string_view rest(dstPath);
    for (std::string_view prefix : {"./tmp/", ".\\tmp\\", "tmp/"}) {
        if (rest.substr(0, prefix.size()) == prefix) {
            rest.remove_prefix(prefix.size());
            return paths::isUnsafeName(rest) ? std::string() : paths::join(m_tmp, rest);
        }
    }
    // An absolute path is taken only when it names a folder directly in the area.
    if (paths::parentOf(dstPath) == m_tmp && !paths::isUnsafeName(paths::fileName(dstPath))) {
        return dstPath;
    }
    return {};
}

}  // namespace voxmg
