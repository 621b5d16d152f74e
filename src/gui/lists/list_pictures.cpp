#include "gui/lists/list_pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace list_pictures {
namespace {

QRect centred(const QRect& cell, int w, int h) {
    return {cell.x() + (cell.width() - w) / 2, cell.y() + (cell.height() - h) / 2, w, h};
}

// A sheet of paper with three lines of text: the recording info.
void drawSheet(QPainter& p, const QRect& r, const QColor& ink, const QColor& paper) {
    p.setPen(QPen(ink, 1));
    p.setBrush(paper);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    for (int y = r.top() + 3; y < r.bottom() - 1; y += 3) {
        p.drawLine(r.left() + 2, y, r.right() - 2, y);
    }
}

// A loudspeaker: the voice data.
void drawSpeaker(QPainter& p, const QRect& r, const QColor& ink, const QColor& fill) {
    QPainterPath body;
    const int cy = r.center().y();
    body.moveTo(r.left(), cy - 2);
    body.lineTo(r.left() + 3, cy - 2);
    body.lineTo(r.left() + 7, cy - 6);
    body.lineTo(r.left() + 7, cy + 6);
    body.lineTo(r.left() + 3, cy + 2);
    body.lineTo(r.left(), cy + 2);
    body.closeSubpath();
    p.setPen(QPen(ink, 1));
    p.setBrush(fill);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(r.left() + 5, cy - 4, 6, 8), -60 * 16, 120 * 16);
    p.drawArc(QRect(r.left() + 5, cy - 6, 9, 12), -60 * 16, 120 * 16);
}

}  // namespace

void drawStateIcon(QPainter& p, const QRect& cell, int code, bool highlighted) {
    if (cell.width() < kMinStateCell) {
        return;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRect r = centred(cell, kStateIconWidth, kStateIconHeight);
    const QColor ink = highlighted ? Qt::white : QColor(60, 60, 60);
    const QColor paper = highlighted ? QColor(150, 180, 230) : Qt::white;
    drawSheet(p, QRect(r.left(), r.top(), 10, r.height()), ink, paper);
    const QRect speaker(r.left() + 13, r.top(), 14, r.height());
    switch (code) {
        case 0: {
            // Voice here, not yet heard on the main unit: speaker with a bright "new" dot.
            drawSpeaker(p, speaker, ink, highlighted ? QColor(255, 220, 120) : QColor(240, 160, 30));
            p.setPen(Qt::NoPen);
            p.setBrush(highlighted ? QColor(255, 255, 140) : QColor(220, 40, 40));
            p.drawEllipse(QRect(r.right() - 4, r.top(), 5, 5));
            break;
        }
        case 1:
            // Voice here, heard on the main unit: a calm speaker.
            drawSpeaker(p, speaker, ink, highlighted ? QColor(200, 220, 255) : QColor(120, 150, 200));
            break;
        case 2:
            // Recording info only: the speaker's place stays an empty outline.
            p.setPen(QPen(highlighted ? QColor(200, 210, 240) : QColor(170, 170, 170), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(speaker.adjusted(0, 2, -4, -3));
            break;
        default: {
            // Kept here, gone from the main unit: the speaker crossed out.
            drawSpeaker(p, speaker, ink, highlighted ? QColor(200, 220, 255) : QColor(120, 150, 200));
            p.setPen(QPen(highlighted ? QColor(255, 190, 190) : QColor(200, 30, 30), 2));
            p.drawLine(speaker.left(), speaker.bottom() - 1, speaker.right() - 1, speaker.top() + 1);
            p.drawLine(speaker.left(), speaker.top() + 1, speaker.right() - 1, speaker.bottom() - 1);
            break;
        }
    }
    p.restore();
}

QFont listFont() {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans JP")});
    font.setPixelSize(13);
    font.setWeight(QFont::Normal);
    return font;
}

}  // namespace list_pictures
