#include "gui/base/question_header.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

QHBoxLayout* questionHeader(QDialog* dialog, const std::vector<QWidget*>& lines) {
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(dialog);
    icon->setPixmap(dialog->style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    for (QWidget* line : lines) {
        texts->addWidget(line);
    }
    top->addLayout(texts, 1);
    return top;
}
