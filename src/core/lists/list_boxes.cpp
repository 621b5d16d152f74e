#include "core/lists/list_boxes.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/base/paths.h"
#include "core/base/text.h"

namespace voxmg::list_boxes {
namespace {

// "," would end a name in the stored text, so it travels as "?", a character box folder
// names cannot hold on Windows.
std::u16string encodeName(std::u16string name) {
    std::replace(name.begin(), name.end(), u',', u'?');
    return name;
}

std::u16string decodeName(std::u16string name) {
    std::replace(name.begin(), name.end(), u'?', u',');
    return name;
}

std::u16string joinNames(const std::vector<std::u16string>& names) {
    std::u16string out;
    for (const auto& name : names) {
        if (!out.empty()) {
            out += u',';
        }
        out += encodeName(name);
    }
    return out;
}

void splitNames(std::u16string_view text, std::vector<std::u16string>& out) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u',', start);
        if (end == std::u16string_view::npos) {
            end = text.size();
        }
        std::u16string_view name = text.substr(start, end - start);
        if (!name.empty()) {
            out.push_back(decodeName(std::u16string(name)));
        }
        start = end + 1;
    }
}

bool isColon(char16_t c) {
    return c == u':' || c == u'：';
}

}  // namespace

std::u16string build(const std::vector<std::u16string>& answerBoxes,
                     const std::vector<std::u16string>& extensionBoxes) {
    std::u16string out;
    if (!answerBoxes.empty()) {
        out += kAnswerKind;
        out += joinNames(answerBoxes);
    }
    if (!extensionBoxes.empty()) {
        if (!out.empty()) {
            out += u"  ";
        }
        out += kExtensionKind;
        out += joinNames(extensionBoxes);
    }
    return out;
}

ListBoxes parse(std::u16string_view text) {
    ListBoxes title;
    if (text == kResponse) {
        title.response = true;
        return title;
    }
    // Segments start at each kind name; the names run up to the next kind name, which is
    // the text before the next colon back to the blank that separates the segments.
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto colon = std::find_if(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), isColon);
        if (colon == text.end()) {
            break;
        }
        const auto colonAt = static_cast<std::size_t>(colon - text.begin());
        std::u16string_view kind = text.substr(pos, colonAt - pos);
        auto next = std::find_if(colon + 1, text.end(), isColon);
        std::size_t namesEnd = text.size();
        if (next != text.end()) {
            // The next kind name starts after the last blank before its colon.
            const auto nextAt = static_cast<std::size_t>(next - text.begin());
            std::size_t blank = text.rfind(u' ', nextAt);
            namesEnd = (blank == std::u16string_view::npos || blank <= colonAt) ? colonAt + 1 : blank;
        }
        std::u16string_view names = text.substr(colonAt + 1, namesEnd - colonAt - 1);
        while (!names.empty() && names.back() == u' ') {
            names.remove_suffix(1);
        }
        splitNames(names, kind.find(u"内線") != std::u16string_view::npos ? title.extensionBoxes
                                                                          : title.answerBoxes);
        pos = namesEnd;
        while (pos < text.size() && text[pos] == u' ') {
            ++pos;
        }
    }
    return title;
}

std::u16string displayText(std::u16string_view text) {
    return decodeName(std::u16string(text));
}

std::vector<BoxPath> boxPaths(const std::string& boxFolder, const ListBoxes& title) {
    std::vector<BoxPath> out;
    auto add = [&](const std::vector<std::u16string>& names, const char* kind, bool extension) {
        const std::string parent = paths::join(paths::join(boxFolder, kind), "");
        for (const auto& name : names) {
            const std::string utf8 = text::utf8FromUtf16(name);
            if (paths::isUnsafeName(utf8)) {
                continue;
            }
            out.push_back({parent + utf8, extension});
        }
    };
    add(title.answerBoxes, "rusuroku", false);
    add(title.extensionBoxes, "naisen", true);
    return out;
}

std::vector<std::u16string> boxNames(const std::string& boxFolder, bool extension) {
    std::vector<std::u16string> out;
    std::error_code ec;
    const std::filesystem::path kind = paths::join(boxFolder, extension ? "naisen" : "rusuroku");
    for (std::filesystem::directory_iterator it(kind, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        const std::string name = it->path().filename().string();
        if (it->is_directory(typeError) && !paths::isUnsafeName(name)) {
            out.push_back(text::utf16FromUtf8(name));
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string responseFolder(const std::string& boxFolder) {
    return paths::join(boxFolder, "outou");
}

}  // namespace voxmg::list_boxes
