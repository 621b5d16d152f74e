#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

// Small files the folder tests put into folders and read back after moving them.
namespace folder_test {

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeAll(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace folder_test
