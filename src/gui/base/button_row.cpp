#include "gui/base/button_row.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* buttonRowWithCancel(QDialog* dialog, std::initializer_list<QPushButton*> buttons,
                                 DefaultButton defaultButton) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons) {
        row->addWidget(button);
    }
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), dialog);
    row->addWidget(cancel);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    if (defaultButton == DefaultButton::Cancel || buttons.size() == 0) {
        cancel->setDefault(true);
    } else {
        (*buttons.begin())->setDefault(true);
    }
    return row;
}
