#pragma once

// The writes of the download engines with every sync recorded: which file or folder, and how
// many deletions the main unit had received at that moment.
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/store/file_io.h"

namespace voxmg::test {

class SyncRecorder : public fileio::Writes {
public:
    struct Sync {
        std::string path;  // canonical; a file as named when it was synced
        bool folder = false;
        int deletesBefore = 0;
    };

    // `deletesSoFar`: the DELE commands the main unit has received.
    explicit SyncRecorder(std::function<int()> deletesSoFar) : m_deletesSoFar(std::move(deletesSoFar)) {}

    bool sync(int fd) override {
        syncs.push_back({pathOf(fd), false, m_deletesSoFar()});
        return refuse() && Writes::sync(fd);
    }
    bool syncFolder(const std::string& folder) override {
        syncs.push_back({canonical(folder), true, m_deletesSoFar()});
        return refuse() && Writes::syncFolder(folder);
    }

    // The files (or folders) synced, by canonical path.
    std::set<std::string> synced(bool folders) const {
        std::set<std::string> out;
        for (const Sync& s : syncs) {
            if (s.folder == folders) {
                out.insert(s.path);
            }
        }
        return out;
    }
    // True when no sync came after a deletion had reached the main unit.
    bool allBeforeAnyDeletion() const {
        for (const Sync& s : syncs) {
            if (s.deletesBefore != 0) {
                return false;
            }
        }
        return true;
    }

    static std::string canonical(const std::string& path) {
        return std::filesystem::weakly_canonical(path).string();
    }

    std::vector<Sync> syncs;
    bool failing = false;  // every sync fails as on a disk that refuses

private:
    static std::string pathOf(int fd) {
        std::error_code ec;
        auto target = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
        return ec ? std::string() : target.string();
    }
    bool refuse() {
        if (failing) {
            errno = EIO;
            return false;
        }
        return true;
    }

    std::function<int()> m_deletesSoFar;
};

}  // namespace voxmg::test
