#include "gui/base/check_list_ctrl.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <algorithm>

#include "gui/base/check_picture.h"

namespace {

const QString kFree = QStringLiteral("0");
const QString kChosen = QStringLiteral("1");
const QString kShown = QStringLiteral("2");
constexpr int kCheckColumnWidth = 45;
constexpr int kRowHeight = 18;

// Draws the "選択" cell: the row's background and selection, then the check picture in the
// middle; no text.
class CheckCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        cell.text.clear();
        cell.icon = QIcon();
        cell.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
        const QStyle* style = cell.widget != nullptr ? cell.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
        const QString value = index.data(CCheckListCtrl::kValueRole).toString();
        const bool greyed = value == kShown || (cell.state & QStyle::State_Enabled) == 0;
        check_picture::draw(*painter, cell.rect, value != kFree, greyed);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), kRowHeight));
        return size;
    }
};

}  // namespace

CCheckListCtrl::CCheckListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("選択"), QStringLiteral("     BOX番号     ")});
    setRootIsDecorated(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setItemDelegateForColumn(0, new CheckCellDelegate(this));
    headerItem()->setTextAlignment(0, Qt::AlignCenter);
    headerItem()->setTextAlignment(1, Qt::AlignCenter);
    // The check keeps its width and the box names take the rest, so the list never needs a
    // horizontal scroll bar, also when a long list brings its vertical one.
    QHeaderView* head = header();
    head->setMinimumSectionSize(kCheckColumnWidth);
    head->setSectionResizeMode(0, QHeaderView::Fixed);
    head->setSectionResizeMode(1, QHeaderView::Stretch);
    head->resizeSection(0, kCheckColumnWidth);
    setTextElideMode(Qt::ElideRight);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int column) {
        if (column == 0) {
            toggle(indexOfTopLevelItem(item));
        }
    });
}

void CCheckListCtrl::setBoxes(const std::vector<std::u16string>& boxes,
                              const std::set<std::u16string>& chosen, const std::set<std::u16string>& shown) {
    clear();
    for (const auto& box : boxes) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(1, QString::fromStdU16String(box));
        item->setTextAlignment(1, Qt::AlignCenter);
        setValue(item, shown.count(box) != 0 ? kShown : (chosen.count(box) != 0 ? kChosen : kFree));
    }
}

QString CCheckListCtrl::value(int row) const {
    const auto* item = topLevelItem(row);
    return item != nullptr ? item->data(0, kValueRole).toString() : QString();
}

bool CCheckListCtrl::isChosen(int row) const {
    return value(row) == kChosen;
}

void CCheckListCtrl::setValue(QTreeWidgetItem* item, const QString& value) {
    item->setData(0, kValueRole, value);
    paintRow(item);
}

void CCheckListCtrl::paintRow(QTreeWidgetItem* item) {
    const bool greyed = item->data(0, kValueRole).toString() == kShown || !isEnabled();
    const QBrush background = greyed ? QBrush(QColor(236, 233, 216)) : QBrush();
    const QBrush text = greyed ? QBrush(QColor(128, 128, 128)) : QBrush();
    for (int c = 0; c < 2; ++c) {
        item->setBackground(c, background);
        item->setForeground(c, text);
    }
}

void CCheckListCtrl::toggle(int row) {
    auto* item = topLevelItem(row);
    if (item == nullptr || !isEnabled() || value(row) == kShown) {
        return;
    }
    setValue(item, value(row) == kChosen ? kFree : kChosen);
}

void CCheckListCtrl::setAll(bool chosen) {
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (value(row) != kShown) {
            setValue(topLevelItem(row), chosen ? kChosen : kFree);
        }
    }
}

std::vector<std::u16string> CCheckListCtrl::chosenBoxes() const {
    std::vector<std::u16string> out;
    for (const auto& [box, chosen] : rows()) {
        if (chosen) {
            out.push_back(box);
        }
    }
    return out;
}

bool CCheckListCtrl::anyChosen() const {
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (isChosen(row)) {
            return true;
        }
    }
    return false;
}

std::vector<std::pair<std::u16string, bool>> CCheckListCtrl::rows() const {
    std::vector<std::pair<std::u16string, bool>> out;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        out.emplace_back(topLevelItem(row)->text(1).toStdU16String(), isChosen(row));
    }
    return out;
}

void CCheckListCtrl::changeEvent(QEvent* event) {
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        for (int row = 0; row < topLevelItemCount(); ++row) {
            paintRow(topLevelItem(row));
        }
    }
}

QWidget* boxListGroup(QWidget* parent, CCheckListCtrl* rusuroku, CCheckListCtrl* naisen,
                      QList<QPushButton*>* allNone) {
    auto* group = new QGroupBox(QStringLiteral("BOX選択"), parent);
    auto* grid = new QGridLayout(group);
    int column = 0;
    for (auto [list, label] :
         {std::pair{rusuroku, QStringLiteral("留守録BOX")}, std::pair{naisen, QStringLiteral("内線BOX")}}) {
        list->setMinimumSize(185, 200);
        grid->addWidget(new QLabel(label, group), 0, column, 1, 2);
        grid->addWidget(list, 1, column, 1, 2);
        auto* all = new QPushButton(QStringLiteral("全選択"), group);
        auto* none = new QPushButton(QStringLiteral("全未選択"), group);
        QObject::connect(all, &QPushButton::clicked, list, [list] { list->setAll(true); });
        QObject::connect(none, &QPushButton::clicked, list, [list] { list->setAll(false); });
        grid->addWidget(all, 2, column);
        grid->addWidget(none, 2, column + 1);
        if (allNone != nullptr) {
            *allNone << all << none;
        }
        column += 2;
    }
    return group;
}
