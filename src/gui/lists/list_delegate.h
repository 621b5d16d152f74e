#pragma once

#include <QStyledItemDelegate>

// Paints the cells of a list window as the Windows list control did: the selection colour
// RGB(49,106,197) (also while the list has no focus), check boxes in "ﾌﾗｸﾞ" and the code
// icons in "取込", text in the list font.
class DataListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QColor selectionColour() { return {49, 106, 197}; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
