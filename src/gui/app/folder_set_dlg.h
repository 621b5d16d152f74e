#pragma once

#include <QDialog>

#include "gui/base/app_context.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// "起動時のフォルダ指定": open the last folder or a specified one at start-up.
class CFolderSetDlg : public QDialog {
    Q_OBJECT
public:
    CFolderSetDlg(AppContext& context, QWidget* parent = nullptr);

    QRadioButton* lastFolder() const { return m_last; }
    QRadioButton* specifiedFolder() const { return m_specified; }
    QPushButton* chooseButton() const { return m_choose; }
    QLineEdit* folderEdit() const { return m_folder; }
    QPushButton* okButton() const { return m_ok; }

private:
    void onSpecified();
    void onChoose();
    void onOk();

    AppContext& m_context;
    QRadioButton* m_last;
    QRadioButton* m_specified;
    QPushButton* m_choose;
    QLineEdit* m_folder;
    QPushButton* m_ok;
};

// "起動時のフォルダ指定" (list): the subfolders of a folder, one to pick.
class CFolderSetSubDlg : public QDialog {
    Q_OBJECT
public:
    CFolderSetSubDlg(AppContext& context, const QString& folder, QWidget* parent = nullptr);
    QTreeWidget* list() const { return m_list; }
    // The chosen row's path; empty when no row was selected.
    QString chosenPath() const { return m_chosen; }

private:
    QTreeWidget* m_list;
    QString m_chosen;
};
