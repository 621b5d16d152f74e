#pragma once

#include <QTreeWidget>
#include <set>
#include <string>
#include <vector>

// A box list of the list opening dialog: column "選択" holds "0" (free), "1" (chosen) or "2"
// (already shown by an open list of the same box folder: greyed, clicks ignored).
class CBoxCheckList : public QTreeWidget {
    Q_OBJECT
public:
    explicit CBoxCheckList(QWidget* parent = nullptr);

    void setBoxes(const std::vector<std::u16string>& boxes, const std::set<std::u16string>& shown);
    // "0", "1" or "2" of a row.
    QString value(int row) const;
    void toggle(int row);
    // "全選択" / "全未選択": every row not already shown.
    void setAll(bool chosen);
    std::vector<std::u16string> chosenBoxes() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void paintRow(QTreeWidgetItem* item);
};
