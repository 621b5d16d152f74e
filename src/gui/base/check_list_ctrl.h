#pragma once

#include <QList>
#include <QTreeWidget>
#include <set>
#include <string>
#include <utility>
#include <vector>

class QPushButton;

// A box list with a check per row, as in the download, automatic deletion and list opening
// dialogs. Column "選択" shows only the check picture; the dialogs read its value: "0"
// (free), "1" (chosen) or "2" (already shown by an open list: greyed, clicks ignored).
// Column "     BOX番号     " holds the box folder name. A click on a row's check flips it.
class CCheckListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    // The value of a row, kept on its "選択" cell.
    static constexpr int kValueRole = Qt::UserRole;

    explicit CCheckListCtrl(QWidget* parent = nullptr);

    // One row per box, in the given order: "1" for boxes in `chosen`, "2" for boxes in
    // `shown`, "0" for the others.
    void setBoxes(const std::vector<std::u16string>& boxes, const std::set<std::u16string>& chosen = {},
                  const std::set<std::u16string>& shown = {});
    QString value(int row) const;
    bool isChosen(int row) const;
    // Flips a row between "0" and "1"; a "2" row and a disabled list stay as they are.
    void toggle(int row);
    // "全選択" / "全未選択": every row not already shown.
    void setAll(bool chosen);
    std::vector<std::u16string> chosenBoxes() const;
    bool anyChosen() const;
    // Every box with whether it is chosen, in row order.
    std::vector<std::pair<std::u16string, bool>> rows() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void setValue(QTreeWidgetItem* item, const QString& value);
    void paintRow(QTreeWidgetItem* item);
};

// Group "BOX選択": the two box lists with their 全選択/全未選択 buttons, shared by the box
// selection, automatic deletion and WAV delete dialogs.
QWidget* boxListGroup(QWidget* parent, CCheckListCtrl* rusuroku, CCheckListCtrl* naisen,
                      QList<QPushButton*>* allNone = nullptr);
