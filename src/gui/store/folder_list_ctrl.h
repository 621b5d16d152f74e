#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

#include "core/store/folder_ops.h"

// The folder list of both folder dialogs: "フォルダ名" and "パス名" (a one-character mark,
// then the full path), one row per folder, sorted by name ignoring case, the columns fitted
// to their content.
class CFolderListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CFolderListCtrl(QWidget* parent = nullptr);

    void setRows(std::vector<voxmg::folders::FolderRow> rows);
    int rowCount() const { return topLevelItemCount(); }
    bool hasSelection() const { return currentRow() >= 0; }
    int currentRow() const;
    void selectRow(int row);
    void removeRow(int row);
    // Of the selected row; empty without one. The path is read back without its mark.
    QString selectedName() const;
    std::string selectedPath() const;
    QString nameAt(int row) const;
    QString pathColumnAt(int row) const;

private:
    void fitColumns();
};
