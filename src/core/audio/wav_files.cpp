#include "core/audio/wav_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "core/base/paths.h"

namespace voxmg::audio {

const char16_t* const kWavCleanDone = u"ＷＡＶファイルの消去が正常に完了しました。";
const char16_t* const kWavCleanDoneCaption = u"消去完了";
const char16_t* const kWavCleanIncomplete = u"消去できなかったＷＡＶファイルがあります。";

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

using Dir = std::unique_ptr<DIR, int (*)(DIR*)>;

// Reads the entries of an open folder without giving up the descriptor.
Dir readFolder(int fd) {
    const int copy = ::dup(fd);
    if (copy < 0) {
        return Dir(nullptr, &::closedir);
    }
    Dir dir(::fdopendir(copy), &::closedir);
    if (!dir) {
        ::close(copy);
    }
    return dir;
}

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
    if (name.size() <= suffix.size()) {
        return false;
    }
    const auto tail = name.substr(name.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

// A folder below an open one, never through a symbolic link.
int openSubfolder(int parent, const std::string& name) {
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool isFileEntry(int folder, const char* name, bool allowLink) {
    struct stat st {};
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    return S_ISREG(st.st_mode) || (allowLink && S_ISLNK(st.st_mode));
}

bool holdsWavFiles(int folder) {
    Dir dir = readFolder(folder);
    if (!dir) {
        return false;
    }
    while (dirent* entry = ::readdir(dir.get())) {
        if (isWavOrWmaName(entry->d_name) && isFileEntry(folder, entry->d_name, false)) {
            return true;
        }
    }
    return false;
}

void refuse(WavCleanResult& result, const std::string& path, int error) {
    result.entries.push_back({path, false, true, error});
    ++result.failed;
}

// Deletes the WAV and WMA files directly in `path`, the folder open as `folder`.
void cleanFolder(int folder, const std::string& path, WavCleanResult& result) {
    Dir dir = readFolder(folder);
    if (!dir) {
        refuse(result, path, errno);
        return;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir.get())) {
        if (isWavOrWmaName(entry->d_name) && isFileEntry(folder, entry->d_name, true)) {
            names.emplace_back(entry->d_name);
        }
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        WavCleanEntry entry{paths::join(path, name)};
        if (::unlinkat(folder, name.c_str(), 0) == 0) {
            entry.deleted = true;
            ++result.deleted;
        } else {
            entry.error = errno;
            ++result.failed;
        }
        result.entries.push_back(std::move(entry));
    }
}

// Opens boxFolder, then each of `below` in turn without following links. -1 when a step
// fails, with `error` set; ENOENT means a folder that is simply not there.
int openBelow(const std::string& boxFolder, std::initializer_list<std::string> below, int& error) {
    int current = ::open(boxFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const auto& name : below) {
        if (current < 0) {
            break;
        }
        const int next = openSubfolder(current, name);
        const int saved = errno;
        ::close(current);
        current = next;
        errno = saved;
    }
    error = current < 0 ? errno : 0;
    return current;
}

}  // namespace

bool isWavOrWmaName(std::string_view name) {
    return endsWithIgnoringCase(name, ".wav") || endsWithIgnoringCase(name, ".wma");
}

std::vector<std::string> companionAudioFiles(const std::string& voicePath, bool wavOnly) {
    const std::string_view folder = paths::parentOf(voicePath);
    std::string_view stem = paths::fileName(voicePath);
    stem = stem.substr(0, stem.rfind('.'));
    std::vector<std::string> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : std::string(folder), ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == stem.size() + 4 && name.starts_with(stem) &&
            (endsWithIgnoringCase(name, ".wav") || (!wavOnly && endsWithIgnoringCase(name, ".wma")))) {
            found.push_back(paths::join(folder, name));
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> boxesWithWavFiles(const std::string& boxFolder, std::string_view kind) {
    int error = 0;
    Fd kindFolder(openBelow(boxFolder, {std::string(kind)}, error));
    std::vector<std::string> boxes;
    if (!kindFolder.valid()) {
        return boxes;
    }
    Dir dir = readFolder(kindFolder.get());
    if (!dir) {
        return boxes;
    }
    while (dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        Fd box(openSubfolder(kindFolder.get(), name));
        if (box.valid() && holdsWavFiles(box.get())) {
            boxes.push_back(name);
        }
    }
    std::sort(boxes.begin(), boxes.end());
    return boxes;
}

bool folderHasWavFiles(const std::string& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && holdsWavFiles(fd.get());
}

WavCleanResult deleteBoxWavFiles(const std::string& boxFolder, const std::vector<WavBox>& boxes,
                                 ProgressSink* progress) {
    WavCleanResult result;
    for (const auto& box : boxes) {
        if (box.kind != "rusuroku" && box.kind != "naisen") {
            refuse(result, paths::join(paths::join(boxFolder, box.kind), box.name), EINVAL);
        }
    }
    int step = 0;
    for (const char* kind : {"rusuroku", "naisen"}) {
        for (const auto& box : boxes) {
            if (box.kind != kind) {
                continue;
            }
            const std::string path = paths::join(paths::join(boxFolder, kind), box.name);
            if (paths::isUnsafeName(box.name)) {
                refuse(result, path, EINVAL);
                continue;
            }
            int error = 0;
            Fd folder(openBelow(boxFolder, {kind, box.name}, error));
            if (folder.valid()) {
                cleanFolder(folder.get(), path, result);
            } else if (error != ENOENT) {
                refuse(result, path, error);
            }
        }
        if (progress != nullptr) {
            progress->setPosition(++step);
        }
    }
    return result;
}

WavCleanResult deleteResponseWavFiles(const std::string& boxFolder, ProgressSink* progress) {
    WavCleanResult result;
    int error = 0;
    Fd folder(openBelow(boxFolder, {"outou"}, error));
    const std::string path = paths::join(boxFolder, "outou");
    if (folder.valid()) {
        cleanFolder(folder.get(), path, result);
    } else if (error != ENOENT) {
        refuse(result, path, error);
    }
    if (progress != nullptr) {
        progress->setPosition(2);
    }
    return result;
}

}  // namespace voxmg::audio
