#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "core/lists/list_columns.h"
#include "core/lists/list_rows.h"

// The rows of a list window as a table: one row per record shown, the texts built from the
// record when asked for, so a list of 50,000 messages holds no text of its own.
class ListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kRecordRole = Qt::UserRole + 1;  // the row's record index
    static constexpr int kColumnRole = Qt::UserRole + 2;  // the column kind (list_columns::Column)
    static constexpr int kEmptySlotRole = Qt::UserRole + 3;
    static constexpr int kStateCodeRole = Qt::UserRole + 4;  // "取込" code as shown, 0..3

    ListModel(const voxmg::ListRows& rows, QObject* parent = nullptr);

    void setColumns(std::vector<voxmg::list_columns::ColumnInfo> columns);
    const std::vector<voxmg::list_columns::ColumnInfo>& columns() const { return m_columns; }
    // The section of a column kind, -1 when not shown.
    int sectionOf(voxmg::list_columns::Column column) const;
    void setDataRoot(std::u16string dataRoot) { m_dataRoot = std::move(dataRoot); }
    // The row set or its order changed.
    void reload();
    // Around a rebuild of the rows: the table asks for nothing in between.
    void beginRebuild() { beginResetModel(); }
    void endRebuild() { endResetModel(); }
    void rowChanged(int row);

    int recordAt(int row) const;
    std::u16string text(int record, voxmg::list_columns::Column column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const voxmg::ListRows& m_rows;
    std::vector<voxmg::list_columns::ColumnInfo> m_columns;
    std::u16string m_dataRoot;
};
