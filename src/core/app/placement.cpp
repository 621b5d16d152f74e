#include "core/app/placement.h"

#include <string>

#include "core/base/text.h"

namespace voxmg {
namespace {

std::u16string windowSection(int n) {
    return u"Window" + text::utf16FromUtf8(std::to_string(n));
}

void writeRect(ProfileFile& f, std::u16string_view section, const Rect& r) {
    f.writeInt(section, u"Left", r.left);
    f.writeInt(section, u"Top", r.top);
    f.writeInt(section, u"Right", r.right);
    f.writeInt(section, u"Bottom", r.bottom);
}

Rect readRect(const ProfileFile& f, std::u16string_view section) {
    return Rect{f.readInt(section, u"Left", kPlacementUnset), f.readInt(section, u"Top", kPlacementUnset),
                f.readInt(section, u"Right", kPlacementUnset),
                f.readInt(section, u"Bottom", kPlacementUnset)};
}

}  // namespace

std::optional<Rect> readFramePlacement(const ProfileFile& file) {
    Rect r = readRect(file, u"Window");
    if (r == Rect{kPlacementUnset, kPlacementUnset, kPlacementUnset, kPlacementUnset}) {
        return std::nullopt;
    }
    return r;
}

namespace {

// One axis of the frame: first so that its far edge is at most one past the screen, then so
// that its near edge is at least 1, keeping its extent.
void fitAxis(int& nearEdge, int& farEdge, int screenExtent) {
    if (farEdge > screenExtent) {
        int shift = farEdge - (screenExtent + 1);
        nearEdge -= shift;
        farEdge -= shift;
    }
    if (nearEdge < 0) {
        int shift = 1 - nearEdge;
        nearEdge += shift;
        farEdge += shift;
    }
}

}  // namespace

Rect fitFrameToScreen(Rect r, int screenWidth, int screenHeight) {
    fitAxis(r.left, r.right, screenWidth);
    fitAxis(r.top, r.bottom, screenHeight);
    return r;
}

void saveWindowPlacement(ProfileFile& f, const Rect& frame, const std::vector<ListPlacement>& frontToBack) {
    writeRect(f, u"Window", frame);

    std::size_t count = frontToBack.size() < 4 ? frontToBack.size() : 4;
    // A maximized list window makes every list window open maximized at the next start.
    const ListPlacement* maximized = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (frontToBack[i].showCmd == kShowMaximized) {
            maximized = &frontToBack[i];
            break;
        }
    }
    for (int a = 1; a <= 4; ++a) {
        auto index = static_cast<std::size_t>(a - 1);
        Rect rect{};
        int showCmd = 0;
        int number = a;
        if (index < count) {
            number = frontToBack[index].number;
            rect = maximized ? maximized->rect : frontToBack[index].rect;
            showCmd = maximized ? kShowMaximized : frontToBack[index].showCmd;
        }
        if (index >= count) {
            // List windows are renumbered when one closes, so open windows hold the lowest
            // numbers; still, an empty slot must never overwrite an open window's section.
            bool taken = false;
            for (std::size_t k = 0; k < count; ++k) {
                taken = taken || frontToBack[k].number == a;
            }
            if (taken) {
                continue;
            }
        }
        std::u16string section = windowSection(number);
        writeRect(f, section, rect);
        f.writeInt(section, u"showCmd", showCmd);
        f.writeInt(section, u"ZOrder", a);
    }
}

SavedListPlacement readListPlacement(const ProfileFile& f, int n) {
    std::u16string section = windowSection(n);
    SavedListPlacement p;
    p.rect = readRect(f, section);
    p.showCmd = f.readInt(section, u"showCmd", kPlacementUnset);
    p.zOrder = f.readInt(section, u"ZOrder", kPlacementUnset);
    return p;
}

}  // namespace voxmg
