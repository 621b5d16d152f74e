#pragma once

#include <string>

// The list window tests (tests/gui/lists_test.cpp) reach the message files under these names;
// they live in support/message_files.h, which other tests include directly.
#include "../../support/message_files.h"

namespace list_test {

using voxmg::test::boxMessageName;
using voxmg::test::Bytes;
using voxmg::test::putUtf16;
using voxmg::test::responseName;
using voxmg::test::writeBoxMessage;
using voxmg::test::writeResponse;
using Message = voxmg::test::ListedMessage;

inline Bytes messageBytes(const Message& m) {
    return voxmg::test::boxMessage(voxmg::test::recordOf(m));
}

inline void writeBytes(const std::string& path, const Bytes& bytes) {
    voxmg::test::writeFile(path, bytes);
}

// The first `count` bytes of the file, zero where it is shorter.
inline Bytes readBytes(const std::string& path, std::size_t count) {
    Bytes b = voxmg::test::readBytes(path);
    b.resize(count, 0);
    return b;
}

}  // namespace list_test
