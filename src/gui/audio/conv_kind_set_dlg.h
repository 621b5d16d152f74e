#pragma once

#include <QDialog>
#include <QString>

#include "gui/base/choosers.h"

struct AppContext;
class QPushButton;

// "変換の確認", shown before messages of a list are converted to WAV. It also decides where
// this and later conversions write: OK beside the voice data files (the WAV save folder is
// switched off), "保存先フォルダを指定して変換" into a folder chosen now (switched on with
// that folder). キャンセル, the default, converts nothing.
class CConvKindSetDlg : public QDialog {
    Q_OBJECT
public:
    enum class Outcome { Beside, IntoFolder, Cancel };
    // The result code exec() returns for "保存先フォルダを指定して変換".
    static constexpr int kIntoFolderCode = 1204;

    CConvKindSetDlg(AppContext& context, QWidget* parent = nullptr, NetworkTest isNetwork = {});

    Outcome outcome() const { return m_outcome; }
    // The folder chosen for IntoFolder; empty otherwise.
    QString folder() const { return m_folder; }

    QPushButton* okButton() const { return m_ok; }
    QPushButton* folderButton() const { return m_intoFolder; }
    QPushButton* cancelButton() const { return m_cancel; }

    // Where the browser opens: the WAV save folder while it exists, else the documents folder.
    static QString browserStart(const QString& wavSavePath, const QString& documents);

private:
    void onOk();
    void onIntoFolder();

    AppContext& m_context;
    NetworkTest m_isNetwork;
    QPushButton* m_ok;
    QPushButton* m_intoFolder;
    QPushButton* m_cancel;
    Outcome m_outcome = Outcome::Cancel;
    QString m_folder;
};
