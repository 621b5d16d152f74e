#pragma once

#include <QString>

class QWidget;

namespace voxmg {
struct UserMessage;
}

// Every message box of the program goes through this seam, so tests can record the texts
// and answer the questions from a script.
class UserMessages {
public:
    enum class Icon { Warning, Information, Question, Stop, None };

    virtual ~UserMessages() = default;
    virtual void show(QWidget* parent, const QString& text, const QString& caption, Icon icon) = 0;
    // Yes/No question; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text, const QString& caption, Icon icon) = 0;

    // The usual failure box: caption "エラー", warning icon.
    void error(QWidget* parent, const QString& text) {
        show(parent, text, QStringLiteral("エラー"), Icon::Warning);
    }
};

class QtUserMessages final : public UserMessages {
public:
    void show(QWidget* parent, const QString& text, const QString& caption, Icon icon) override;
    bool askYesNo(QWidget* parent, const QString& text, const QString& caption, Icon icon) override;
};

// Shows an operation's message with its own caption and icon.
void showMessage(UserMessages& messages, QWidget* parent, const voxmg::UserMessage& message);
