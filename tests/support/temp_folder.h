#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Files for the tests: a private folder, and whole files written and read back byte for byte.
// Plain C++ without GoogleTest, so that stand-alone test programs can use it as well.
namespace voxmg::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder, removed with everything in it when the object goes.
class TempFolder {
public:
    // Memory: /dev/shm where it can be written, for tests that make tens of thousands of files.
    enum class Storage { Disk, Memory };

    explicit TempFolder(Storage storage = Storage::Disk) {
        std::filesystem::path base = std::filesystem::temp_directory_path();
        if (storage == Storage::Memory && ::access("/dev/shm", W_OK) == 0) {
            base = "/dev/shm";
        }
        std::string pattern = (base / "voxmg-test-XXXXXX").string();
        // Without a folder every file() would name a place at the root: stop here instead.
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder " + pattern);
        }
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    // The path of `relative` in the folder; nothing is made.
    std::string file(std::string_view relative) const { return m_path + "/" + std::string(relative); }
    // Makes the folder `relative` with its parents and returns its path.
    std::string folder(std::string_view relative) const {
        std::filesystem::create_directories(file(relative));
        return file(relative);
    }
    // The names directly in the folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            out.push_back(entry.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string m_path;
};

// Writes `bytes` as the whole file, making its folder first.
inline void writeFile(const std::string& path, std::string_view bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void writeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The whole file; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline Bytes readBytes(const std::string& path) {
    const std::string bytes = readFile(path);
    return Bytes(bytes.begin(), bytes.end());
}

// File content that shows a faulty copy: every 256 bytes hold each byte value once (CR and LF
// among them, so text-mode mangling shows) and each run is shifted from the one before, so a
// lost or repeated run shows too.
inline std::string patternBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

}  // namespace voxmg::test
