#include "gui/lists/list_model.h"

#include "gui/base/qt_text.h"

using voxmg::list_columns::Align;
using voxmg::list_columns::Column;

namespace {

QVariant alignment(Align align) {
    return static_cast<int>(Qt::AlignVCenter | (align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft));
}

}  // namespace

ListModel::ListModel(const voxmg::ListRows& rows, QObject* parent)
    : QAbstractTableModel(parent), m_rows(rows) {}

void ListModel::setColumns(std::vector<voxmg::list_columns::ColumnInfo> columns) {
    beginResetModel();
    m_columns = std::move(columns);
    endResetModel();
}

int ListModel::sectionOf(Column column) const {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].column == column) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ListModel::reload() {
    beginResetModel();
    endResetModel();
}

void ListModel::rowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int ListModel::recordAt(int row) const {
    const auto& shown = m_rows.shown();
    return row >= 0 && row < static_cast<int>(shown.size()) ? shown[static_cast<std::size_t>(row)] : -1;
}

std::u16string ListModel::text(int record, Column column) const {
    return voxmg::list_columns::cellText(m_rows.view(record), column, m_dataRoot, m_rows.emptySlot(record));
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.shown().size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    const int record = recordAt(index.row());
    if (record < 0 || index.column() >= columnCount()) {
        return {};
    }
    const auto& info = m_columns[static_cast<std::size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
            return toQ(text(record, info.column));
        case Qt::TextAlignmentRole:
            return alignment(info.align);
        case Qt::ToolTipRole:
            if (info.column == Column::State && !m_rows.emptySlot(record)) {
                return toQ(voxmg::list_columns::stateToolTip(m_rows.view(record).state));
            }
            return {};
        case kRecordRole:
            return record;
        case kColumnRole:
            return static_cast<int>(info.column);
        case kEmptySlotRole:
            return m_rows.emptySlot(record);
        case kStateCodeRole:
            return voxmg::list_columns::shownStateCode(m_rows.view(record).state);
        default:
            return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return {};
    }
    const auto& info = m_columns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) {
        return toQ(info.name);
    }
    if (role == Qt::TextAlignmentRole) {
        return alignment(info.align);
    }
    return {};
}
