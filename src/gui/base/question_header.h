#pragma once

#include <vector>

class QDialog;
class QHBoxLayout;
class QWidget;

// The top of the program's question dialogs: the question icon, and beside it the given lines
// one under the other.
QHBoxLayout* questionHeader(QDialog* dialog, const std::vector<QWidget*>& lines);
