#include "gui/lists/box_check_list.h"

#include <QEvent>
#include <QPainter>
#include <QPixmap>

#include "gui/app/qt_text.h"
#include "gui/lists/list_pictures.h"

namespace {

const QString kFree = QStringLiteral("0");
const QString kChosen = QStringLiteral("1");
const QString kShown = QStringLiteral("2");

QIcon checkIcon(bool ticked, bool greyed) {
    QPixmap pixmap(20, 17);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    list_pictures::drawCheck(painter, pixmap.rect(), ticked, greyed);
    return QIcon(pixmap);
}

}  // namespace

CBoxCheckList::CBoxCheckList(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("選択"), QStringLiteral("     BOX番号     ")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setIconSize(QSize(20, 17));
    setColumnWidth(0, 50);
    setColumnWidth(1, 130);
    setFont(list_pictures::listFont());
    headerItem()->setTextAlignment(1, Qt::AlignCenter);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int column) {
        if (column == 0) {
            toggle(indexOfTopLevelItem(item));
        }
    });
}

void CBoxCheckList::setBoxes(const std::vector<std::u16string>& boxes,
                             const std::set<std::u16string>& shown) {
    clear();
    for (const auto& box : boxes) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(1, toQ(box));
        item->setTextAlignment(1, Qt::AlignCenter);
        item->setData(0, Qt::UserRole, shown.count(box) != 0 ? kShown : kFree);
        paintRow(item);
    }
}

QString CBoxCheckList::value(int row) const {
    const auto* item = topLevelItem(row);
    return item != nullptr ? item->data(0, Qt::UserRole).toString() : QString();
}

void CBoxCheckList::paintRow(QTreeWidgetItem* item) {
    const QString v = item->data(0, Qt::UserRole).toString();
    const bool greyed = v == kShown || !isEnabled();
    item->setIcon(0, checkIcon(v != kFree, greyed));
    const QBrush background = greyed ? QBrush(QColor(236, 233, 216)) : QBrush();
    const QBrush text = greyed ? QBrush(QColor(128, 128, 128)) : QBrush();
    for (int c = 0; c < 2; ++c) {
        item->setBackground(c, background);
        item->setForeground(c, text);
    }
}

void CBoxCheckList::toggle(int row) {
    auto* item = topLevelItem(row);
    if (item == nullptr || !isEnabled() || value(row) == kShown) {
        return;
    }
    item->setData(0, Qt::UserRole, value(row) == kChosen ? kFree : kChosen);
    paintRow(item);
}

void CBoxCheckList::setAll(bool chosen) {
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (value(row) != kShown) {
            topLevelItem(row)->setData(0, Qt::UserRole, chosen ? kChosen : kFree);
            paintRow(topLevelItem(row));
        }
    }
}

std::vector<std::u16string> CBoxCheckList::chosenBoxes() const {
    std::vector<std::u16string> out;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (value(row) == kChosen) {
            out.push_back(fromQ(topLevelItem(row)->text(1)));
        }
    }
    return out;
}

void CBoxCheckList::changeEvent(QEvent* event) {
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        for (int row = 0; row < topLevelItemCount(); ++row) {
            paintRow(topLevelItem(row));
        }
    }
}
