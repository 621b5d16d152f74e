#pragma once

#include <QDialog>

#include "gui/base/choosers.h"

struct AppContext;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "WAVファイル保存先設定": whether conversions write their WAV files into one folder of the
// user's, and which. Changes the settings block; the file is written with the other settings
// at exit. A folder chosen with 設定 is kept even when the dialog is then cancelled.
class CWavSaveDlg : public QDialog {
    Q_OBJECT
public:
    CWavSaveDlg(AppContext& context, QWidget* parent = nullptr, NetworkTest isNetwork = {});

    QRadioButton* offRadio() const { return m_off; }
    QRadioButton* onRadio() const { return m_on; }
    QPushButton* chooseButton() const { return m_choose; }
    QLineEdit* folderField() const { return m_folder; }
    QPushButton* okButton() const { return m_ok; }

private:
    void onKind();
    void onChoose();
    void onOk();

    AppContext& m_context;
    NetworkTest m_isNetwork;
    QRadioButton* m_off;
    QRadioButton* m_on;
    QPushButton* m_choose;
    QLineEdit* m_folder;
    QPushButton* m_ok;
};
