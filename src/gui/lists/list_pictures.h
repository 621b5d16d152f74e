#pragma once

#include <QFont>
#include <QRect>

class QPainter;

// The small pictures of the list windows, drawn rather than loaded so they scale with the
// cell and need no image files: the four icons of the "取込" column. The check box of "ﾌﾗｸﾞ"
// is the check lists' one (gui/ui/check_picture.h).
namespace list_pictures {

inline constexpr int kStateIconWidth = 30;
inline constexpr int kStateIconHeight = 14;
// Cells narrower than this draw no picture.
inline constexpr int kMinStateCell = 40;

// The icon of a "取込" code as shown (0 voice unplayed on the main unit, 1 voice played there,
// 2 info only, 3 deleted on the main unit), centred in `cell`; `highlighted` for a selected
// row, drawn to stand out on the selection colour.
void drawStateIcon(QPainter& painter, const QRect& cell, int code, bool highlighted);

// The list windows' text font: a Japanese UI font, 13 pixels.
QFont listFont();

}  // namespace list_pictures
