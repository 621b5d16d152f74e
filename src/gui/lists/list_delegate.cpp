#include "gui/lists/list_delegate.h"

#include <QPainter>

#include "core/lists/list_columns.h"
#include "gui/base/check_picture.h"
#include "gui/lists/list_model.h"
#include "gui/lists/list_pictures.h"

using voxmg::list_columns::Column;

void DataListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->save();
    painter->fillRect(option.rect, selected ? selectionColour() : QColor(Qt::white));
    const auto column = static_cast<Column>(index.data(ListModel::kColumnRole).toInt());
    const bool emptySlot = index.data(ListModel::kEmptySlotRole).toBool();
    if (column == Column::Flag) {
        check_picture::draw(*painter, option.rect, index.data().toString().trimmed() == QStringLiteral("1"));
    } else if (column == Column::State && !emptySlot) {
        list_pictures::drawStateIcon(*painter, option.rect, index.data(ListModel::kStateCodeRole).toInt(),
                                     selected);
    } else {
        painter->setFont(list_pictures::listFont());
        painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
        const QRect textRect = option.rect.adjusted(4, 0, -4, 0);
        const auto align = static_cast<Qt::Alignment>(index.data(Qt::TextAlignmentRole).toInt());
        const QString text =
            painter->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight, textRect.width());
        painter->drawText(textRect, static_cast<int>(align), text);
    }
    painter->restore();
}

QSize DataListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(19);
    return size;
}
