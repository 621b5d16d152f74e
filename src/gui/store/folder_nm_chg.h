#pragma once

#include <QDialog>
#include <string>

struct AppContext;
class QLineEdit;
class QPushButton;

// "フォルダ名称変更": renames a folder within its parent. Opened from the folder download
// dialog; refusals ("入力値エラーです。", "フォルダ名が重複しています。") leave it open.
class CFolderNmChg : public QDialog {
    Q_OBJECT
public:
    CFolderNmChg(AppContext& context, std::string folder, QWidget* parent = nullptr);

    QLineEdit* nameEdit() const { return m_name; }
    QPushButton* okButton() const { return m_ok; }
    // The folder's path after a rename.
    const std::string& newPath() const { return m_newPath; }

private:
    void onOk();

    AppContext& m_context;
    std::string m_folder;
    std::string m_newPath;
    QLineEdit* m_name;
    QPushButton* m_ok;
};

// The same dialog opened from the folder change dialog.
class CFolderNmChg1 : public CFolderNmChg {
    Q_OBJECT
public:
    using CFolderNmChg::CFolderNmChg;
};
