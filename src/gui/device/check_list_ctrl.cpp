#include "gui/device/check_list_ctrl.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>

#include "gui/app/qt_text.h"

namespace {

// The 18 x 18 row icons: an empty box and a ticked one.
QIcon checkIcon(bool on) {
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(2, 2, 13, 13);
    if (on) {
        painter.setPen(QPen(Qt::black, 2));
        painter.drawLine(5, 9, 8, 12);
        painter.drawLine(8, 12, 13, 5);
    }
    return QIcon(pixmap);
}

}  // namespace

CCheckListCtrl::CCheckListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("選択"), QStringLiteral("     BOX番号     ")});
    setRootIsDecorated(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setIconSize(QSize(18, 18));
    setColumnWidth(0, 45);
    setColumnWidth(1, 120);
    headerItem()->setTextAlignment(1, Qt::AlignCenter);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int column) {
        if (column == 0) {
            toggle(indexOfTopLevelItem(item));
        }
    });
}

void CCheckListCtrl::setRowState(QTreeWidgetItem* item, bool on) {
    item->setText(0, on ? QStringLiteral("1") : QStringLiteral("0"));
    item->setIcon(0, checkIcon(on));
}

void CCheckListCtrl::setRows(const std::vector<std::u16string>& boxes, const std::vector<bool>& selected) {
    clear();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(1, toQ(boxes[i]));
        item->setTextAlignment(1, Qt::AlignCenter);
        setRowState(item, i < selected.size() && selected[i]);
    }
}

std::vector<std::pair<std::u16string, bool>> CCheckListCtrl::rows() const {
    std::vector<std::pair<std::u16string, bool>> out;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        out.emplace_back(fromQ(topLevelItem(i)->text(1)), isSelected(i));
    }
    return out;
}

std::vector<std::u16string> CCheckListCtrl::selectedBoxes() const {
    std::vector<std::u16string> out;
    for (const auto& [box, on] : rows()) {
        if (on) {
            out.push_back(box);
        }
    }
    return out;
}

bool CCheckListCtrl::anySelected() const {
    return !selectedBoxes().empty();
}

void CCheckListCtrl::setAll(bool on) {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        setRowState(topLevelItem(i), on);
    }
}

bool CCheckListCtrl::isSelected(int row) const {
    const auto* item = topLevelItem(row);
    return item != nullptr && item->text(0) == QStringLiteral("1");
}

void CCheckListCtrl::toggle(int row) {
    if (auto* item = topLevelItem(row)) {
        setRowState(item, !isSelected(row));
        emit rowToggled(row);
    }
}
