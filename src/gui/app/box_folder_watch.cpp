#include "gui/app/box_folder_watch.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

constexpr int kSettleMs = 50;

}  // namespace

BoxFolderWatch::BoxFolderWatch(QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_settle, &QTimer::timeout, this, &BoxFolderWatch::changed);
}

void BoxFolderWatch::watch(const std::string& dataRoot, const std::string& boxFolderName) {
    QStringList wanted;
    if (!dataRoot.empty()) {
        const QString root = QDir::cleanPath(QString::fromStdString(dataRoot));
        wanted << root;
        if (!boxFolderName.empty()) {
            wanted << QDir::cleanPath(root + QLatin1Char('/') + QString::fromStdString(boxFolderName));
        }
    }
    wanted.removeDuplicates();
    wanted.removeIf([](const QString& path) { return !QFileInfo(path).isDir(); });
    QStringList current = m_watcher.directories();
    std::sort(wanted.begin(), wanted.end());
    std::sort(current.begin(), current.end());
    if (wanted == current) {
        return;
    }
    if (!current.isEmpty()) {
        m_watcher.removePaths(current);
    }
    if (!wanted.isEmpty()) {
        m_watcher.addPaths(wanted);
    }
}

void BoxFolderWatch::stop() {
    m_settle.stop();
    const QStringList current = m_watcher.directories();
    if (!current.isEmpty()) {
        m_watcher.removePaths(current);
    }
}
