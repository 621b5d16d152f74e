#pragma once

#include <QObject>
#include <QTimer>
#include <vector>

class QDialog;
class QPushButton;
struct AppContext;

// "%sにダウンロードします。\nよろしいですか？" with the current box folder name. False, with
// no message, when no box folder is chosen.
bool confirmDownload(AppContext& context, QDialog* dialog);

// The download dialogs' one-second check: once the user is no longer logged in, the download
// buttons are disabled for the rest of the dialog's life.
class LoggedInWatch : public QObject {
    Q_OBJECT
public:
    LoggedInWatch(AppContext& context, QDialog* dialog, std::vector<QPushButton*> buttons);
    bool tripped() const { return m_tripped; }
    void check();

private:
    AppContext& m_context;
    std::vector<QPushButton*> m_buttons;
    QTimer m_timer;
    bool m_tripped = false;
};
