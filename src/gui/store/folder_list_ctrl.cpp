#include "gui/store/folder_list_ctrl.h"

#include <QHeaderView>
#include <algorithm>

#include "gui/base/qt_text.h"

CFolderListCtrl::CFolderListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("フォルダ名"), QStringLiteral("パス名")});
    setRootIsDecorated(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    setColumnWidth(0, 100);
    setColumnWidth(1, 400);
    // The path column takes what is left, so a selected row is highlighted across.
    header()->setStretchLastSection(true);
}

void CFolderListCtrl::setRows(std::vector<voxmg::folders::FolderRow> rows) {
    std::vector<std::pair<QString, voxmg::folders::FolderRow>> named;
    named.reserve(rows.size());
    for (auto& row : rows) {
        QString name = pathToQ(row.name);
        named.emplace_back(name, std::move(row));
    }
    std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    clear();
    for (const auto& [name, row] : named) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setText(1, pathToQ(voxmg::folders::pathColumn(row)));
    }
    setCurrentItem(nullptr);
    clearSelection();
    fitColumns();
}

void CFolderListCtrl::fitColumns() {
    for (int column = 0; column < 2; ++column) {
        resizeColumnToContents(column);
    }
}

int CFolderListCtrl::currentRow() const {
    auto selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.front());
}

void CFolderListCtrl::selectRow(int row) {
    if (auto* item = topLevelItem(row)) {
        setCurrentItem(item);
        item->setSelected(true);
    } else {
        clearSelection();
    }
}

void CFolderListCtrl::removeRow(int row) {
    delete takeTopLevelItem(row);
    clearSelection();
}

QString CFolderListCtrl::selectedName() const {
    return nameAt(currentRow());
}

std::string CFolderListCtrl::selectedPath() const {
    int row = currentRow();
    return row < 0 ? std::string() : voxmg::folders::pathFromColumn(pathFromQ(pathColumnAt(row)));
}

QString CFolderListCtrl::nameAt(int row) const {
    auto* item = topLevelItem(row);
    return item ? item->text(0) : QString();
}

QString CFolderListCtrl::pathColumnAt(int row) const {
    auto* item = topLevelItem(row);
    return item ? item->text(1) : QString();
}
