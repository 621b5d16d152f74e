#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace voxmg::audio {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) {
            std::fclose(f);
        }
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

inline FileHandle openFile(const std::string& path, const char* mode) {
    return FileHandle(std::fopen(path.c_str(), mode));
}

// Closes the file and reports whether everything buffered reached it.
inline bool closeFile(FileHandle& f) {
    if (!f) {
        return true;
    }
    return std::fclose(f.release()) == 0;
}

}  // namespace voxmg::audio
