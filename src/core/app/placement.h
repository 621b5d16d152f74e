#pragma once

#include <optional>
#include <vector>

#include "core/base/profile_file.h"

// Window placement of the main frame and the list windows, as plain functions over
// rectangles; the gui converts to and from its window geometry.
namespace voxmg {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

constexpr int kPlacementUnset = -9999;
constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 2;
constexpr int kShowMaximized = 3;

// Section Window, keys Left/Top/Right/Bottom; nullopt when the frame was never saved
// (all four still the -9999 default), so a first start keeps the frame's own placement.
std::optional<Rect> readFramePlacement(const ProfileFile& file);

// Moves a saved rectangle back onto a screen of the given size: first so that its right
// (bottom) edge is at most one past the screen, then so that its left (top) edge is at
// least 1, keeping its size.
Rect fitFrameToScreen(Rect saved, int screenWidth, int screenHeight);

struct ListPlacement {
    int number = 0;  // list window number 1..4 (its slot)
    Rect rect;       // normal-position rectangle inside the frame's client area
    int showCmd = kShowNormal;
};

struct SavedListPlacement {
    Rect rect{kPlacementUnset, kPlacementUnset, kPlacementUnset, kPlacementUnset};
    int showCmd = kPlacementUnset;
    int zOrder = kPlacementUnset;
};

// Writes section Window and Window1..Window4. `frontToBack` lists the open list windows from
// the active one backwards (at most four are used).
void saveWindowPlacement(ProfileFile& file, const Rect& frame, const std::vector<ListPlacement>& frontToBack);

// Section Window<n>, every key defaulting to -9999.
SavedListPlacement readListPlacement(const ProfileFile& file, int n);

}  // namespace voxmg
