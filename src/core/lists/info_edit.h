#pragma once

#include <atomic>
#include <ctime>
#include <string>

#include "core/store/filests_info.h"

// Editing the recording info of one message: the checks of the edit dialogs and the write
// into the message's file. Nothing is sent to the main unit.
namespace voxmg::info_edit {

// Byte limits in CP932, as the Windows program counted them.
inline constexpr std::size_t kTitleBytes = 40;
inline constexpr std::size_t kCallerNumberBytes = 32;
inline constexpr std::size_t kCallerNameBytes = 32;
inline constexpr std::size_t kMemoBytes = 80;
inline constexpr std::size_t kResponseNameBytes = 20;

// What the user typed for a box message.
struct BoxEdit {
    std::u16string title{};
    std::u16string callerNumber{};
    std::u16string callerName{};
    std::u16string memo{};  // line ends are stored as CR LF, as a Windows edit box gives them
    bool protect = false;
    bool flag = false;
};

// What the user typed for a response message.
struct ResponseEdit {
    std::u16string name{};
    bool flag = false;
};

enum class EditResult {
    Done,
    TitleTooLong,
    CallerNumberTooLong,
    CallerNameTooLong,
    MemoTooLong,
    NameTooLong,
    HasComma,      // a "," in any text: the CSV export and the main unit's lists split on it
    CannotRead,    // the file is gone or holds no record
    WriteFailed,   // the record could not be written back
    HeaderFailed,  // response message: the header could not be updated
    RenameFailed,  // response message: a file could not take its new name
};

EditResult check(const BoxEdit& edit);
EditResult check(const ResponseEdit& edit);

// Puts the edit into a record (texts through CP932 and back, as they are stored).
void apply(FILESTS_INFO& record, const BoxEdit& edit);
void apply(FILESTS_INFO& record, const ResponseEdit& edit);

struct EditOutcome {
    EditResult result = EditResult::CannotRead;
    FILESTS_INFO record;  // as written, on success
    std::string path;     // the message's path afterwards (new for a renamed response message)
};

// Checks the edit and writes it into the record the lists show: the voice data file's when the
// message has one, even when `path` names its recording info file. A recording info file
// beside it gets the same record (keeping its own download state). On any failure the files
// are as they were.
EditOutcome editBoxMessage(const std::string& path, const BoxEdit& edit, std::atomic<int>& cancelAll);

// The file whose record the lists show for the message `path` names: its voice data file when
// there is one, else `path`. An edit starts from this file's record.
std::string shownFile(const std::string& path);

// The same for a response message; `now` (local time) stamps the header and the new name of
// its voice file and of its ".vminf", ".wav" and ".wma" files. On any failure every file keeps
// its old name and content.
EditOutcome editResponseMessage(const std::string& path, const ResponseEdit& edit, const std::tm& now,
                                std::atomic<int>& cancelAll);

// The new name of a response message file edited at `now`: "%Y%m%d%H%M" + "_" + weekday in
// capitals + the last 16 characters of the old name ("_A001_0000.vmdat"). Empty when the
// name is too short to carry them.
std::string renamedResponsePath(const std::string& path, const std::tm& now);

}  // namespace voxmg::info_edit
