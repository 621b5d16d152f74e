#pragma once

#include <QTreeWidget>
#include <string>
#include <utility>
#include <vector>

// A box list with a check per row: column 0 "選択" holds "1" or "0" with a check icon,
// column 1 the box folder name. A click on a row's check flips it.
class CCheckListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CCheckListCtrl(QWidget* parent = nullptr);

    void setRows(const std::vector<std::u16string>& boxes, const std::vector<bool>& selected = {});
    std::vector<std::pair<std::u16string, bool>> rows() const;
    std::vector<std::u16string> selectedBoxes() const;
    bool anySelected() const;
    void setAll(bool on);
    bool isSelected(int row) const;
    void toggle(int row);

signals:
    void rowToggled(int row);

private:
    void setRowState(QTreeWidgetItem* item, bool on);
};
