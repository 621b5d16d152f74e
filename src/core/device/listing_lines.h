#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Lines of the main unit's name and detailed listings, cut the way the program has always
// read them: ".", "*" and line feeds are dropped while a line is collected, a carriage return
// ends it, empty lines are ignored, and "vmdat"/"vminf" get their dot back. Lines that name
// no message file are skipped.
namespace voxmg::listing {

// The message lines of a listing, in listing order, with the extension's dot restored.
std::vector<std::string> messageLines(std::u16string_view text);

struct Entry {
    std::string name;  // message name + ".vmdat" or ".vminf" (UTF-8)
    std::uint64_t size = 0;
};

// A detailed ("NLST -l") line: the size is the number in the 9 characters from position 24,
// the name the last 33 characters. A line too short for these fields, a size that is not a
// number, or a name that is not a plain message file name gives nullopt.
std::optional<Entry> detailedEntry(std::string_view line);

// A name listing line: the name itself, when it is a plain message file name.
std::optional<std::string> nameEntry(std::string_view line);

// Space a file of `size` bytes needs on the disk: a retrieval rounds up to 4096-byte
// clusters; a conversion to WAV writes 16 bytes of PCM per byte of G.729 data.
constexpr std::uint64_t retrievalSpace(std::uint64_t size) {
    return (size / 4096 + 1) * 4096;
}
constexpr std::uint64_t conversionSpace(std::uint64_t size) {
    return (size / 256 + 1) * 4096;
}

}  // namespace voxmg::listing
