#pragma once

#include <QString>
#include <string>

#include "core/lists/list_filter.h"

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QRadioButton;
class QWidget;

// The rows of the two "選択表示" dialogs: a check box that switches a criterion on and
// enables its inputs, then the inputs.
namespace filter_rows {

struct TextRow {
    QCheckBox* on;
    QLineEdit* edit;
};
// A text criterion: at most `maxChars` characters can be typed; bytes are checked on OK.
TextRow addTextRow(QGridLayout* grid, int row, const QString& title, int maxChars, bool on,
                   const std::u16string& text);

struct ChoiceRow {
    QCheckBox* on;
    QRadioButton* first;
    QRadioButton* second;
};
// A two-way criterion: the first choice stands for Yes. Off (Any) shows the first choice.
ChoiceRow addChoiceRow(QGridLayout* grid, int row, const QString& title, const QString& first,
                       const QString& second, voxmg::list_filter::Choice value);
voxmg::list_filter::Choice choiceOf(const ChoiceRow& row);

// Enables `inputs` while `on` is ticked.
void enableWith(QCheckBox* on, QWidget* inputs);

}  // namespace filter_rows
