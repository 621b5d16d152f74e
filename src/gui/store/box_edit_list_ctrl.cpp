#include "gui/store/box_edit_list_ctrl.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int kOriginalRole = Qt::UserRole;

// The in-place editor with the column's length limit.
class LimitedEditDelegate : public QStyledItemDelegate {
public:
    LimitedEditDelegate(int maxChars, QObject* parent) : QStyledItemDelegate(parent), m_maxChars(maxChars) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setMaxLength(m_maxChars);
        }
        return editor;
    }

private:
    int m_maxChars;
};

}  // namespace

BoxEditListCtrl::BoxEditListCtrl(const QString& fixedHeader, const QString& editHeader, int maxChars,
                                 QWidget* parent)
    : QTreeWidget(parent) {
    setColumnCount(3);
    setHeaderLabels({QString(), fixedHeader, editHeader});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    setItemDelegateForColumn(kEditColumn, new LimitedEditDelegate(maxChars, this));
    header()->setStretchLastSection(true);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignCenter);
    header()->setMinimumSectionSize(16);
    setColumnWidth(kIconColumn, 24);
    setColumnWidth(kFixedColumn, 70);
    setColumnWidth(kEditColumn, 110);
    setMinimumWidth(24 + 70 + 110 + 30);
}

void BoxEditListCtrl::addRow(const QString& fixed, const QString& edit) {
    auto* item = new QTreeWidgetItem(this);
    item->setIcon(kIconColumn, style()->standardIcon(QStyle::SP_DirIcon));
    item->setText(kFixedColumn, fixed);
    item->setTextAlignment(kFixedColumn, Qt::AlignCenter);
    item->setText(kEditColumn, edit);
    item->setData(kEditColumn, kOriginalRole, edit);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
}

QString BoxEditListCtrl::fixedText(int row) const {
    return topLevelItem(row)->text(kFixedColumn);
}

QString BoxEditListCtrl::editText(int row) const {
    return topLevelItem(row)->text(kEditColumn);
}

QString BoxEditListCtrl::originalText(int row) const {
    return topLevelItem(row)->data(kEditColumn, kOriginalRole).toString();
}

void BoxEditListCtrl::showRow(int row) {
    setCurrentItem(topLevelItem(row), kEditColumn);
    scrollToItem(topLevelItem(row));
    setFocus();
}

QLineEdit* targetFolderField(QWidget* parent, const QString& boxFolder) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setText(boxFolder);
    field->setCursorPosition(0);
    return field;
}

QGroupBox* boxListPair(QWidget* parent, BoxEditListCtrl* rusuroku, BoxEditListCtrl* naisen) {
    auto* group = new QGroupBox(parent);
    auto* row = new QHBoxLayout(group);
    for (auto [list, title] :
         {std::pair{rusuroku, QStringLiteral("留守録BOX")}, std::pair{naisen, QStringLiteral("内線BOX")}}) {
        auto* column = new QVBoxLayout;
        column->addWidget(new QLabel(title, group));
        column->addWidget(list);
        row->addLayout(column);
    }
    return group;
}
