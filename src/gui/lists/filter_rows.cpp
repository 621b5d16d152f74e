#include "gui/lists/filter_rows.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/base/qt_text.h"

using voxmg::list_filter::Choice;

namespace filter_rows {

void enableWith(QCheckBox* on, QWidget* inputs) {
    inputs->setEnabled(on->isChecked());
    QObject::connect(on, &QCheckBox::toggled, inputs, &QWidget::setEnabled);
}

TextRow addTextRow(QGridLayout* grid, int row, const QString& title, int maxChars, bool on,
                   const std::u16string& text) {
    QWidget* parent = grid->parentWidget();
    TextRow r{new QCheckBox(title, parent), new QLineEdit(toQ(text), parent)};
    r.edit->setMaxLength(maxChars);
    r.on->setChecked(on);
    enableWith(r.on, r.edit);
    grid->addWidget(r.on, row, 0);
    grid->addWidget(r.edit, row, 1);
    return r;
}

ChoiceRow addChoiceRow(QGridLayout* grid, int row, const QString& title, const QString& first,
                       const QString& second, Choice value) {
    QWidget* parent = grid->parentWidget();
    // The pair sits in a widget of its own, so it excludes only its own partner.
    auto* pair = new QWidget(parent);
    auto* layout = new QHBoxLayout(pair);
    layout->setContentsMargins(0, 0, 0, 0);
    ChoiceRow r{new QCheckBox(title, parent), new QRadioButton(first, pair), new QRadioButton(second, pair)};
    layout->addWidget(r.first);
    layout->addWidget(r.second);
    layout->addStretch(1);
    r.on->setChecked(value != Choice::Any);
    (value == Choice::No ? r.second : r.first)->setChecked(true);
    enableWith(r.on, pair);
    grid->addWidget(r.on, row, 0);
    grid->addWidget(pair, row, 1);
    return r;
}

Choice choiceOf(const ChoiceRow& row) {
    if (!row.on->isChecked()) {
        return Choice::Any;
    }
    return row.first->isChecked() ? Choice::Yes : Choice::No;
}

}  // namespace filter_rows
