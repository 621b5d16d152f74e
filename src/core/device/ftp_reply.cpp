#include "core/device/ftp_reply.h"

namespace voxmg::ftp {

bool ReplyLineBuilder::push(char byte) {
    if (byte == '\n' && !m_line.empty() && m_line.back() == '\r') {
        m_line.pop_back();
        return true;
    }
    m_line.push_back(byte);
    return m_line.size() >= m_max;
}

std::size_t ReplyLineBuilder::lineBytes(std::string_view bytes) const {
    // The same rules as push(char), run on a count instead of the line.
    std::size_t held = m_line.size();
    bool afterCr = !m_line.empty() && m_line.back() == '\r';
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && afterCr) {
            return i + 1;
        }
        afterCr = bytes[i] == '\r';
        if (++held >= m_max) {
            return i + 1;
        }
    }
    return bytes.size();
}

bool ReplyLineBuilder::push(std::string_view bytes) {
    for (char byte : bytes) {
        if (push(byte)) {
            return true;
        }
    }
    return false;
}

std::optional<int> replyCode(std::string_view line) {
    auto isSeparator = [](char c) { return c == ' ' || c == '-'; };
    std::size_t i = 0;
    while (i < line.size() && isSeparator(line[i])) {
        ++i;
    }
    if (i == line.size()) {
        return std::nullopt;
    }
    int code = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        // A runaway digit string is no reply code; stop before the value could overflow.
        if (code > 99999) {
            break;
        }
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

bool isSuccessCode(int code) {
    switch (code) {
        case 120:
        case 125:
        case 150:
        case 200:
        case 202:
        case 211:
        case 212:
        case 213:
        case 214:
        case 215:
        case 227:
        case 230:
        case 250:
        case 257:
        case 331:
        case 350:
            return true;
        default:
            return false;
    }
}

bool isStoreSuccessCode(int code) {
    // Only the end of the transfer says the main unit holds the whole file: a preliminary or
    // stray positive reply (150, 200, a greeting) after the data is no such word.
    return code == 226 || code == 250;
}

bool greetingNamesModel(std::string_view line) {
    return line.starts_with("220") && line.size() >= 4 + kModelName.size() &&
           line.substr(4, kModelName.size()) == kModelName;
}

int exchangeResult(std::string_view line) {
    auto code = replyCode(line);
    if (!code) {
        return -1;
    }
    if (isSuccessCode(*code)) {
        return 0;
    }
    if (*code == 220) {
        return greetingNamesModel(line) ? 0 : 220;
    }
    return *code;
}

int storeResult(std::string_view line) {
    auto code = replyCode(line);
    if (!code) {
        return -1;
    }
    if (isStoreSuccessCode(*code)) {
        return 0;
    }
    // A line without a code is no answer at all.
    return *code == 0 ? -1 : *code;
}

std::string portCommand(std::uint32_t address, std::uint16_t port) {
    std::string text = "PORT ";
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((address >> shift) & 0xFF) + ",";
    }
    return text + std::to_string(port / 256) + "," + std::to_string(port % 256) + "\r\n";
}

std::optional<std::string> commandLine(std::string_view verb, std::string_view argument) {
    if (argument.find_first_of("\r\n") != std::string_view::npos) {
        return std::nullopt;
    }
    std::string line(verb);
    if (!argument.empty()) {
        line += ' ';
        line += argument;
    }
    return line + "\r\n";
}

}  // namespace voxmg::ftp
