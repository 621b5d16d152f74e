#pragma once

#include <QDialog>
#include <string>

#include "core/store/box_management.h"

struct AppContext;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "ボックスフォルダ作成": makes a box subfolder on the PC, a box the main unit does not have,
// under "留守録BOX" or "内線BOX" of the current box folder. The kind chosen last is preset the
// next time (the caller keeps it for the run of the program).
class CMakeBoxFldDlg : public QDialog {
    Q_OBJECT
public:
    CMakeBoxFldDlg(AppContext& context, voxmg::boxes::BoxKind& rememberedKind, QWidget* parent = nullptr);

    QRadioButton* answerRadio() const { return m_answer; }
    QRadioButton* extensionRadio() const { return m_extension; }
    QLineEdit* nameField() const { return m_name; }
    QPushButton* okButton() const { return m_ok; }

private:
    void onOk();

    AppContext& m_context;
    voxmg::boxes::BoxKind& m_rememberedKind;
    std::string m_boxFolder;
    QRadioButton* m_answer;
    QRadioButton* m_extension;
    QLineEdit* m_name;
    QPushButton* m_ok;
};
