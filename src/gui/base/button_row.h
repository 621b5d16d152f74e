#pragma once

#include <initializer_list>

class QDialog;
class QHBoxLayout;
class QPushButton;

// The dialogs' bottom row: the given buttons at the right edge, then "キャンセル", which closes
// the dialog as cancelled. The default button is the first given one, or キャンセル for the
// download dialogs, whose default is not to start anything.
enum class DefaultButton { First, Cancel };
QHBoxLayout* buttonRowWithCancel(QDialog* dialog, std::initializer_list<QPushButton*> buttons,
                                 DefaultButton defaultButton = DefaultButton::First);
