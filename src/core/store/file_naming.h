#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// Names of message files. Box messages: "YYYYMMDDhhmm_WWW_BBBB_NNNNN.vmdat" (33 characters,
// given by the main unit). Response messages: "YYYYMMDDhhmm_WWW_Annn_0000.vmdat" (32). Each
// message's files share the base name: ".vmdat" voice, ".vminf" recording info, ".wav".
// Character positions count UTF-16 units of the file name, never of the folder path, so
// folders with Japanese names do not shift them.
namespace voxmg::naming {

inline constexpr std::size_t kBoxMessageNameLength = 33;
inline constexpr std::size_t kResponseNameLength = 32;
inline constexpr std::string_view kVoiceExt = ".vmdat";
inline constexpr std::string_view kInfoExt = ".vminf";
inline constexpr std::string_view kResponseKind = "outou";
inline constexpr std::string_view kAnswerKind = "rusuroku";
inline constexpr std::string_view kExtensionKind = "naisen";
inline constexpr std::string_view kBoxInfoFile = "inf.ini";

// Response messages live in the "outou" folder of a box folder. Only the name of the file's
// own folder is tested, so a data root whose path happens to hold "outou" changes nothing.
bool isResponsePath(std::string_view filePath);
bool isMessageName(std::string_view name);  // contains ".vminf" or ".vmdat"
bool isInfoName(std::string_view name);     // contains ".vminf"
bool isVoiceName(std::string_view name);    // contains ".vmdat"
// The same name with the other extension (last ".vminf" <-> ".vmdat").
std::string partnerName(std::string_view name);
// The name without its ".vmdat"/".vminf" extension (unchanged when it has neither).
std::string baseName(std::string_view name);

// Length of a file name in characters (UTF-16 units).
std::size_t nameLength(std::string_view utf8Name);

// Box number from a message file name: when character 16 is "_", the text from 17 (or 18
// when character 17 is "A") up to the next "_", at most 4 characters; otherwise empty.
std::u16string boxNumberFromName(std::string_view utf8Name);

// Response message number from a file name: the three digits 14 characters before its end.
std::optional<int> responseNumberFromName(std::string_view utf8Name);

// "SUN" .. "SAT" and the mixed-case "Sun" .. "Sat".
std::string weekdayAbbrev(const std::tm& local, bool upper);

// Name of a response message made here: "%Y%m%d%H%M_WWW_Annn_0000" + extension, upper case.
std::string responseMessageName(const std::tm& local, int number, std::string_view extension);

}  // namespace voxmg::naming
