#pragma once

#include <QRect>

class QPainter;

// The 13 x 13 check box of the check lists and of the list windows' "ﾌﾗｸﾞ" column, drawn
// rather than loaded so it needs no image files.
namespace check_picture {

inline constexpr int kSize = 13;
// Cells narrower than this draw no picture.
inline constexpr int kMinCell = 20;

// A check box centred in `cell`; greyed for rows that cannot be chosen and disabled lists.
void draw(QPainter& painter, const QRect& cell, bool ticked, bool greyed = false);

}  // namespace check_picture
