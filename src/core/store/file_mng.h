#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/flags.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/store/filests_info.h"
#include "core/store/unit_header.h"

namespace voxmg {
namespace audio {
class DecodingEngine;
class EncodingEngine;
struct WavSaveSettings;
struct ImportGains;
struct CallerContext;
}  // namespace audio

// The three box listings of the main unit, CP932 text as received: the box directories
// under "/rusuroku", those under "/naisen", and the root directory (not used further).
struct BoxListings {
    std::string answerBoxes;
    std::string extensionBoxes;
    std::string root;
};

// Whether an operation that writes a file did its work (the design's 1 and 0).
enum class FileOp { NotDone = 0, Done = 1 };

// The folder loader's outcome (the design's 0 and -1).
enum class LoadResult { Loaded = 0, CannotOpen = -1 };

// Building a box folder from the main unit's box listings.
enum class BuildResult { Built = 1, ListingFailed = 0, Cancelled = -3 };

// What a box folder of the folder list holds.
enum class FolderContent { Nothing = 0, Messages = 1, BoxesOnly = 2 };

// Which local copy a response message from the main unit meets in the response folder.
struct ResponseLookup {
    enum class Kind {
        NotOlder = 0,  // the local one is as new or newer: nothing to fetch
        Absent = 1,    // no local message of that number
        Older = 2,     // the local one is older (or oddly named): fetch, then drop it
    };
    Kind kind = Kind::Absent;
    std::string localPath;  // the local voice file, when there is one with a proper name
};

// The message file names of a box folder as one read of its listing gave them.
struct FolderListing {
    bool opened = false;
    std::size_t messages = 0;  // voice files, and info files whose voice file is not listed
    std::string names;         // back to back
    std::vector<std::uint32_t> ends;
    std::vector<bool> plain;  // the listing said: a regular file
    std::size_t size() const { return ends.size(); }
    std::string_view name(std::size_t i) const {
        const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(names).substr(begin, ends[i] - begin);
    }
};

// Operations on message files, box info files and box folders. Each operation that touches
// message files makes its own object. Nothing here throws or talks to the user.
class CFileMng {
public:
    static constexpr std::size_t kMaxRecords = 50000;  // what one list shows

    explicit CFileMng(std::atomic<int>& cancelAll) : m_cancelAll(cancelAll) {}
    explicit CFileMng(Flags& flags) : m_cancelAll(flags.cancelAll) {}

    // Each rewritten message file or record is flushed to the disk before it replaces the old
    // one. Switched off where nothing relies on the change surviving a power cut (the new
    // content still replaces the old one atomically).
    void setDurableWrites(bool durable) { m_durableWrites = durable; }

    // Message records (file_mng_record.cpp).
    // Copies the file's record into dest; false (dest unchanged) when the file cannot be
    // opened or is shorter than a record.
    bool readRecord(const std::string& path, FILESTS_INFO& dest) const;
    // Puts the record in front of the file's content (NotDone: the file is unchanged).
    FileOp prependRecord(const std::string& path, const FILESTS_INFO& record) const;
    // Rewrites the record of a message file in place after refreshing its box name from the
    // folder's inf.ini (NotDone: missing, not a message file, not writable).
    FileOp writeBackRecord(FILESTS_INFO& record, const std::string& path) const;
    // For a file holding the main unit's bytes as received: builds the record from the header
    // at its start (reusing the ".vminf" record of the same message for a voice file) and puts
    // it in front.
    FileOp buildBoxMessageRecord(const std::string& path) const;
    FileOp buildResponseMessageRecord(const std::string& path) const;
    // The record for a message about to be stored at `path`, built from its main unit header.
    // A box message keeps what the user set: from a file at `path` that holds a record, else,
    // for a voice file, from the recording info file of the same message.
    FILESTS_INFO downloadRecord(const std::string& path, const UnitHeader& header, bool response) const;
    // A plain file holding a record and a main unit header, whose size is the listed size plus
    // the record (at least a header when no size is known). Anything else is fetched again.
    bool isCompleteDownload(const std::string& path, std::optional<std::uint64_t> listedSize) const;

    // Main unit header and response messages (file_mng_header.cpp).
    bool isValidMessage(const std::string& path, const FILESTS_INFO& record, const UnitHeader& header) const;
    // Writes the record's name and the date of `now` into the file's header.
    FileOp updateResponseHeader(const FILESTS_INFO& record, const std::string& path,
                                const std::tm& now) const;
    // The local copy of the response message `newName` names by its number. A name that could
    // leave the folder, or is too short to carry a number, gives NotOlder so that nothing is
    // fetched for it.
    ResponseLookup findResponseMessage(const std::string& folder, const std::string& newName) const;
    // Copies the voice frames (everything from offset 1246) into a new file.
    FileOp extractFrames(const std::string& voicePath, const std::string& framesPath) const;
    // Turns a file of bare frames into a response message file: header, whole 100 ms blocks of
    // frames, record in front.
    FileOp buildImportedResponse(const std::string& path, int number, const std::tm& importTime) const;

    // Folder loader (file_mng_loader.cpp). Records of the folder's message files in
    // enumeration order, at most kMaxRecords.
    LoadResult loadBoxFolder(const std::string& folder, std::vector<FILESTS_INFO>& dest) const;
    // The same in two steps, for a list of many boxes that needs its count before it reads:
    // the folder's listing (read once), then the records of what it listed. `take` gets each
    // record with its box number and box name set (not its path) and its file name in UTF-16
    // (the path is the folder + "/" + that name); a file
    // that cannot be opened is left out. At most `limit` records; false from `take` stops.
    FolderListing listBoxFolder(const std::string& folder) const;
    using TakeRecord = std::function<bool(const FILESTS_INFO& record, std::u16string_view fileName)>;
    LoadResult loadListedFolder(const std::string& folder, const FolderListing& listing, std::size_t limit,
                                const TakeRecord& take) const;

    // Box info file "inf.ini" (file_mng_box_info.cpp).
    std::u16string readBoxName(const std::string& folder) const;
    FileOp writeBoxName(const std::string& folder, std::u16string_view name) const;
    FileOp writeBuildMark(const std::string& folder, std::u16string_view mark) const;
    int readBuildMark(const std::string& folder) const;  // MAKE: 1 made on the PC, 2 being built
    bool isBeingBuilt(const std::string& folder) const;
    FileOp writeAutoDelete(const std::string& folder) const;

    // Folder helpers (file_mng_folders.cpp).
    bool makeFolder(const std::string& path) const;
    bool fileExists(const std::string& pathOrPattern) const;
    int countMessages(const std::string& boxFolder) const;
    FolderContent boxFolderContent(const std::string& folder) const;
    bool isBoxFolder(const std::string& folder) const;
    // The record of the first message file found in the folder.
    std::optional<FILESTS_INFO> firstRecordOfFolder(const std::string& folder) const;
    void listSubfolders(const std::string& folder, std::vector<std::string>& out) const;

    // Builds box folder `folder` from the main unit's box listings (file_mng_builder.cpp).
    // Progress positions 20/40/60/100; the cancel-all flag rolls back what was built.
    BuildResult buildBoxFolder(const std::string& folder,
                               const std::function<std::optional<BoxListings>()>& fetch,
                               ProgressSink* progress, const Pump& pump) const;
    BuildResult buildBoxFolder(const std::string& folder, const BoxListings& listings, ProgressSink* progress,
                               const Pump& pump) const;

    // Audio conversion (file_mng_audio.cpp), done by the conversion engine's workers.
    // Voice data file -> WAV beside it or in the WAV save folder (NotDone: nothing left).
    FileOp convertToWav(audio::DecodingEngine& engine, const std::string& voicePath, int gainSetting,
                        const audio::WavSaveSettings& wavSave, const audio::CallerContext& caller) const;
    // The program's copy of a WAV/WMA file -> bare frames beside it (NotDone: the copy and any
    // output deleted).
    FileOp importAudio(audio::EncodingEngine& engine, const std::string& source, const std::string& extension,
                       const audio::ImportGains& gains, const audio::CallerContext& caller) const;

private:
    // The record as the folder loader lists it, or nullopt when the file is skipped.
    std::optional<FILESTS_INFO> loadOne(int fd, const std::string& path, std::size_t pathUnits,
                                        const std::u16string& boxName) const;
    bool loadListed(const std::string& folder, const FolderListing& listing, std::size_t limit,
                    const TakeRecord& take, bool skipUnopened) const;
    FileOp buildRecord(const std::string& path, bool response) const;
    void addBoxes(const std::string& kindFolder, std::string_view listing, const Pump& pump,
                  bool& cancelled) const;
    void rollBack(const std::string& folder) const;
    bool cancelled() const { return m_cancelAll.load() != 0; }

    std::atomic<int>& m_cancelAll;
    bool m_durableWrites = true;
};

}  // namespace voxmg
