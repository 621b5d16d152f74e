#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

class QGroupBox;
class QLineEdit;

// The box lists of the box folder rename and box name dialogs: a narrow icon column, a fixed
// column and a column edited in place (double click, F2, or a click on the selected row),
// whose editor takes at most `maxChars` characters. Each row remembers the text it was
// filled with, so a dialog can tell which rows were edited.
class BoxEditListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kIconColumn = 0;
    static constexpr int kFixedColumn = 1;
    static constexpr int kEditColumn = 2;

    BoxEditListCtrl(const QString& fixedHeader, const QString& editHeader, int maxChars,
                    QWidget* parent = nullptr);

    void addRow(const QString& fixed, const QString& edit);
    QString fixedText(int row) const;
    QString editText(int row) const;
    QString originalText(int row) const;
    bool edited(int row) const { return editText(row) != originalText(row); }
    int rowCount() const { return topLevelItemCount(); }
    // Selects the row and shows it, for the row a check refused.
    void showRow(int row);
};

// The frame both dialogs share: the read-only "対象フォルダ" field and the two lists side by
// side under "留守録BOX" and "内線BOX".
QLineEdit* targetFolderField(QWidget* parent, const QString& boxFolder);
QGroupBox* boxListPair(QWidget* parent, BoxEditListCtrl* rusuroku, BoxEditListCtrl* naisen);
