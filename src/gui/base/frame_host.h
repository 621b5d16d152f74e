#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "core/app/startup.h"
#include "core/automation/always_download.h"
#include "gui/base/commands.h"
#include "gui/base/list_counts.h"

class QWidget;
class DeviceSession;
struct AppContext;

// What the lists, folders and downloads ask of the main frame. They plug their commands in
// through it and never see the frame class, so the frame can include them and not the other
// way round.
class FrameHost : public voxmg::ListWindowHost {
public:
    // A command a feature brings: a command bar button or a settings menu item. Until one is
    // set its button or item stays disabled; once set, it runs inside the frame's common
    // command steps (schedule timer, backup hand-off, command states afterwards).
    struct CommandHandler {
        std::function<void()> run;
        std::function<bool()> enabled = [] { return true; };
        // For an item with a check mark: whether it is checked.
        std::function<bool()> checked = nullptr;
    };
    virtual void setCommand(Command id, CommandHandler handler) = 0;
    // Runs a settings menu item as if it was chosen (a list's double click edits a message).
    virtual void runMenuCommand(Command id) = 0;

    virtual AppContext& context() = 0;
    // The connection in use. A reconnect replaces it, so look it up when it is needed; its
    // client is reached through a lease (DeviceSession::acquire).
    virtual DeviceSession& session() = 0;
    // The session in force as the always-download worker may use it for one box, and the
    // session's number; both may be read from the worker's thread.
    virtual voxmg::always::WorkerConnection workerConnection() const = 0;
    virtual std::uint64_t sessionGeneration() const = 0;
    // The frame's window: the parent of the features' dialogs.
    virtual QWidget* frameWindow() = 0;
    // Against re-entry while a long operation pumps events.
    virtual void setFrameEnabled(bool enabled) = 0;
    // Runs `f` now when no command is running; otherwise once the command has ended, from the
    // event loop. What another thread reports (the always-download worker) goes through here,
    // so it never runs inside a command's waits, dialogs or pumped events.
    virtual void afterCommand(std::function<void()> f) = 0;

    // An operation talked to the main unit: idle ticks count from zero again.
    virtual void restartLiveness() = 0;
    // An operation found the connection gone: logged out, and no probes until a new login.
    virtual void connectionLost() = 0;
    // Something the command states read has changed (login, box folder, a list's selection).
    virtual void updateCommandStates() = 0;
    // The status line reads the active list's counts again.
    virtual void refreshStatus() = 0;

    // The folder field as shown, and set again from the document's data root and box folder.
    virtual QString folderFieldText() const = 0;
    virtual void setFolderText() = 0;
    // The box field from a list title; empty clears it.
    virtual void setBoxText(const QString& listTitle) = 0;

    // The list windows: how one is made, what the status line counts of it, how it reads its
    // files again. Each gets the list's widget.
    using ListWindowFactory = std::function<QWidget*(int n)>;
    using ListCountsSource = std::function<ListCounts(QWidget* list)>;
    using ListRefresher = std::function<void(QWidget* list)>;
    virtual void setListWindowFactory(ListWindowFactory factory) = 0;
    virtual void setListCountsSource(ListCountsSource source) = 0;
    virtual void setListRefresher(ListRefresher refresher) = 0;
    // The active list's widget; null with no list open.
    virtual QWidget* activeList() const = 0;
    // A list window moved to slot n after an earlier list closed.
    virtual void setListNumber(QWidget* list, int n) = 0;
    // Every open list rebuilds from disk (after a download changed the box folders).
    virtual void refreshAllLists() = 0;
    // The active list rebuilds from disk, and the status line with it.
    virtual void refreshActiveList() = 0;
    // The titles of the open lists, the active one first, each once.
    virtual std::vector<std::u16string> listTitles() const = 0;
};
