#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The folder tree the simulator serves, seen through the main unit's eyes: virtual paths
// ("/rusuroku/001/name.vmdat") that never leave the root, listings in the main unit's
// layouts, and deletion by message (a ".vminf" and its ".vmdat" go together).
namespace voxmg::sim {

class RemoteTree {
public:
    explicit RemoteTree(std::string root);

    // `argument` taken relative to `cwd` (both virtual), normalised to "/a/b" ("/" for the
    // root). Empty when it would climb above the root or holds a backslash, a NUL or a
    // control character.
    std::optional<std::string> resolve(std::string_view cwd, std::string_view argument) const;

    bool isDirectory(const std::string& path) const;
    bool isFile(const std::string& path) const;
    std::string hostPath(const std::string& path) const;

    struct Entry {
        std::string name;
        bool directory = false;
        std::uint64_t size = 0;
        std::time_t modified = 0;
    };
    // Entries of a directory whose names match a shell pattern (empty = all), sorted by name
    // so that a message's ".vmdat" comes before its ".vminf". Empty when it is no directory.
    std::optional<std::vector<Entry>> list(const std::string& directory, const std::string& pattern) const;

    // One line of "NLST" and of "NLST -l", without the CR LF.
    static std::string nameLine(const Entry& entry);
    static std::string detailLine(const Entry& entry);

    enum class DeleteResult { Deleted, Absent, Protected, InUse };
    // Deletes the message a file belongs to: the file and its partner with the other
    // extension. Clients delete a message by naming one of its files and then look for the
    // other in a new listing to learn it is gone, so both always go together. A protected or
    // busy message stays.
    DeleteResult deleteMessage(const std::string& path, const std::vector<std::string>& inUse);
    // Deletes every unprotected, idle message with a file matching `pattern` in `directory`.
    // False when the directory does not exist.
    bool deleteMatching(const std::string& directory, const std::string& pattern,
                        const std::vector<std::string>& inUse);

    // Removes one file outright (used to make a file vanish under a client's feet).
    void removeFile(const std::string& path);

    // Uploads into "/outou" are response messages. The main unit keeps one message per
    // number: it refuses an upload older than the message it holds, or one whose slot is
    // busy, and otherwise replaces the older message.
    enum class UploadCheck { Accepted, NotResponseName, Older, InUse };
    UploadCheck checkResponseUpload(const std::string& name, const std::vector<std::string>& inUse) const;
    // Writes the voice data file through a temporary name (a reader never sees half of it)
    // and its recording info file from its header, then removes older messages of the number.
    bool storeResponse(const std::string& name, std::string_view bytes);

    std::optional<std::string> readFile(const std::string& path) const;

private:
    bool isProtected(const std::string& hostFile) const;
    std::vector<std::string> responseMessagesNumbered(const std::string& name) const;
    bool writeAtomically(const std::string& hostFile, std::string_view bytes);
    DeleteResult deleteLocked(const std::string& directory, const std::string& name,
                              const std::vector<std::string>& inUse);

    std::string m_root;
    std::mutex m_writeMutex;  // deletes and stores of concurrent sessions
};

// "name.vmdat" <-> "name.vminf"; empty for a name that is not a message file.
std::string partnerName(std::string_view name);

}  // namespace voxmg::sim
