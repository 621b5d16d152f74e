#pragma once

#include <QString>
#include <functional>
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

class QtChoosers final : public Choosers {
public:
    QString chooseFolder(QWidget* parent, const QString& caption, const QString& start) override;
    QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& start,
                           const QString& filter) override;
    QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& start,
                           const QString& filter, const QString& suffix) override;
};

class UserMessages;

// After a folder or file was chosen: on a network file system ask the Yes/No question of
// caption "ドライブの確認"; true when the choice may be used. `isNetwork` tells network
// folders apart (the file system type by default).
using NetworkTest = std::function<bool(const std::string& folder)>;
bool confirmNetworkFolder(UserMessages& messages, QWidget* parent, const QString& folder,
                          const NetworkTest& isNetwork = {});
bool confirmNetworkFile(UserMessages& messages, QWidget* parent, const QString& file,
                        const NetworkTest& isNetwork = {});
