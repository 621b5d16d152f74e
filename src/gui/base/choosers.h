#pragma once

#include <QString>
#include <functional>
#include <map>
#include <string>

class QWidget;

// Folder and file choices, behind an interface so tests can script them.
class Choosers {
public:
    virtual ~Choosers() = default;
    // Empty when the user cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& caption, const QString& start) = 0;
    virtual QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& start,
                                   const QString& filter) = 0;
    // A file to write; `suffix` is added to a name typed without one. The caller asks before
    // overwriting.
    virtual QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& start,
                                   const QString& filter, const QString& suffix) = 0;
};

// Qt's own file dialogs, in Japanese and wide enough for their dates and sizes. A file dialog
// opens in the folder last used for the same purpose during this run (each purpose has its own
// prompt and filter), else in the caller's start (the folder the settings hold for it), else in
// the home folder rather than wherever the program was started.
class QtChoosers final : public Choosers {
public:
    QString chooseFolder(QWidget* parent, const QString& caption, const QString& start) override;
    QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& start,
                           const QString& filter) override;
    QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& start,
                           const QString& filter, const QString& suffix) override;

private:
    QString chooseFile(QWidget* parent, const QString& caption, const QString& start, const QString& filter,
                       const QString* saveSuffix);

    std::map<QString, QString> m_lastFolders;  // by prompt and filter
};

// Where a file dialog opens: `remembered` when it is still a folder, else `start` (a folder, or
// a file whose folder exists), else `fallback`.
QString fileDialogFolder(const QString& remembered, const QString& start, const QString& fallback);

class UserMessages;

// After a folder or file was chosen: on a network file system ask the Yes/No question of
// caption "ドライブの確認"; true when the choice may be used. `isNetwork` tells network
// folders apart (the file system type by default).
using NetworkTest = std::function<bool(const std::string& folder)>;
bool confirmNetworkFolder(UserMessages& messages, QWidget* parent, const QString& folder,
                          const NetworkTest& isNetwork = {});
bool confirmNetworkFile(UserMessages& messages, QWidget* parent, const QString& file,
                        const NetworkTest& isNetwork = {});
