#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <string>

// Reports changes of the data root and the box folder on disk: a box folder, or its
// "rusuroku" or "naisen" folder, made, renamed or deleted behind the program's back. The
// frame checks its command states then, and after every command, rather than polling the
// folders from the UI thread, where a slow network folder would freeze the window. (Some
// network file systems do not report changes made by other machines; the checks after each
// command still see them.)
class BoxFolderWatch : public QObject {
    Q_OBJECT
public:
    explicit BoxFolderWatch(QObject* parent = nullptr);

    // Watches those of the two folders that exist; nothing when the data root is empty.
    // Cheap when they are watched already.
    void watch(const std::string& dataRoot, const std::string& boxFolderName);
    void stop();

signals:
    // Once a burst of changes (a folder tree being deleted) has settled.
    void changed();

private:
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};
