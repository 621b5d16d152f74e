#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the FTP client's operations return, one family per kind of operation. The values are
// the codes the program has always used (the frame, voxmgctl's JSON and the Windows program
// agree on them); a value beyond the named ones is the main unit's own reply code, passed on
// as it came (code() and fromCode() convert).
namespace voxmg {

enum class LoginResult { LoggedIn = 0, ConnectFailed = 1, LoginRefused = 2, UnsupportedModel = 3 };

// Data connections, retrievals, stores and deletes.
enum class TransferResult : int {
    Done = 0,
    Failed = -1,       // no reply, a broken transfer, or one of another size than listed
    Cancelled = -2,    // stopped by the cancel-all flag (ABOR sent)
    DiskRefused = -4,  // the PC's disk refused a write
    NoSuchFile = 550,  // the main unit's "no such file"
    Malformed = -6,    // transferred whole, but no message: too short, or a header of no message
};

// Box, name and detailed listings.
enum class ListingResult : int {
    Listed = 1,
    Refused = 0,       // a name listing the main unit refused with another code
    Failed = -1,       // no reply, a broken listing, or more than a listing may hold
    NoDirectory = -2,  // the directory does not exist on the main unit
};

// The download engines; the frame and voxmgctl turn these into messages.
enum class EngineResult : int {
    Done = 0,
    FilesGone = 550,        // some listed file was gone when fetched (the rest was done)
    DeletionRefused = 555,  // the main unit refused the automatic deletion
    CommFailure = -1,       // communication failure or no connection
    NoDirectory = -2,       // no such box directory on the main unit
    Cancelled = -3,         // cancel-all, or the conversion to WAV failed
    DiskFull = -4,          // not enough space (or the disk refused a write)
    Paused = -5,            // handed over to a user operation (always-download)
    NoMessages = 1,         // a bulk download found nothing on the main unit
    Malformed = -6,         // the one file asked for is no message: left on the main unit
};

// What one box run did: its result, the files its listing named and the messages handled
// (found complete or fetched).
struct BoxResult {
    EngineResult code = EngineResult::Done;
    int listed = 0;
    int handled = 0;
    // Files of the main unit that are no message (a broken file, not a broken link): left
    // there and passed over, named so the user can look at them.
    std::vector<std::string> malformed{};
};

// The count of a box's files on the main unit.
struct CountResult {
    EngineResult code = EngineResult::Done;  // Done, NoDirectory or CommFailure
    int count = 0;
};

// The size of one voice data file on the main unit; none when it is not listed.
struct VoiceSizeResult {
    EngineResult code = EngineResult::Done;  // Done, NoDirectory or CommFailure
    std::optional<std::uint64_t> size = std::nullopt;
};

template <typename Result>
constexpr int code(Result result) {
    return static_cast<int>(result);
}

template <typename Result>
constexpr Result fromCode(int value) {
    return static_cast<Result>(value);
}

}  // namespace voxmg
