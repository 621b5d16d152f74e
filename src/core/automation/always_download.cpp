#include "core/automation/always_download.h"

#include <algorithm>
#include <filesystem>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/base/trace.h"
#include "core/device/ftp_mng.h"
#include "core/lists/list_boxes.h"
#include "core/store/box_links.h"
#include "core/store/data_lock.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg::always {
namespace {

constexpr std::u16string_view kResponseTitle = list_boxes::kResponse;

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::string remotePath(std::string_view kind, const std::string& name) {
    return "/" + std::string(kind) + "/" + name;
}

int buildMark(const std::string& boxFolder) {
    std::atomic<int> noCancel{0};
    return CFileMng(noCancel).readBuildMark(boxFolder);
}

// A box folder has a subfolder whose name holds "rusuroku" and one whose name holds "naisen".
bool isBoxFolder(const std::string& folder) {
    std::atomic<int> noCancel{0};
    return CFileMng(noCancel).isBoxFolder(folder);
}

void sleepFor(std::chrono::milliseconds time) {
    std::this_thread::sleep_for(time);
}

}  // namespace

std::optional<std::string> BoxChooser::fromTitles(const std::vector<std::u16string>& titles,
                                                  const std::string& boxFolder) {
    std::vector<std::string> answering;
    std::vector<std::string> extension;
    for (const std::u16string& title : titles) {
        if (title == kResponseTitle) {
            continue;
        }
        list_boxes::ListBoxes boxes = list_boxes::parse(title);
        for (const list_boxes::BoxPath& box : list_boxes::boxPaths(boxFolder, boxes)) {
            if (buildMark(box.path) != 0) {
                continue;  // made on the PC, or still being built
            }
            const std::string name(paths::fileName(box.path));
            trace(std::string(box.extension ? "常時ダウンロード pArrayN->Add("
                                            : "常時ダウンロード pArrayR->Add(") +
                  name + ")\n");
            (box.extension ? extension : answering).push_back(name);
        }
    }
    trace("常時ダウンロード nCnt == " + std::to_string(titles.size()) + "\n");
    std::sort(answering.begin(), answering.end());
    std::sort(extension.begin(), extension.end());
    trace("常時ダウンロード lstBoxR.GetCount() == " + std::to_string(answering.size()) + "\n");
    trace("常時ダウンロード lstBoxN.GetCount() == " + std::to_string(extension.size()) + "\n");
    for (const std::string& name : answering) {
        m_queue.push_back(remotePath(naming::kAnswerKind, name));
    }
    for (const std::string& name : extension) {
        m_queue.push_back(remotePath(naming::kExtensionKind, name));
    }
    if (m_queue.empty()) {
        return std::nullopt;
    }
    return m_queue.front();
}

std::optional<std::string> BoxChooser::folderScan(const std::string& boxFolder) const {
    for (std::string_view kind : {naming::kAnswerKind, naming::kExtensionKind}) {
        for (const std::u16string& box : list_boxes::boxNames(boxFolder, kind == naming::kExtensionKind)) {
            const std::string name = text::utf8FromUtf16(box);
            const std::string remote = remotePath(kind, name);
            if (buildMark(paths::join(paths::join(boxFolder, kind), name)) != 1 &&
                !contains(m_done, remote)) {
                return remote;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> BoxChooser::next(const std::vector<std::u16string>& titles,
                                            const std::string& boxFolder, WorkerHost& host) {
    if (titles.empty()) {
        return folderScan(boxFolder);
    }
    if (titles.front() != m_lastTop) {
        trace("常時ダウンロード strListTop:" + text::utf8FromUtf16(titles.front()) + "\n");
        // The response list is remembered like any other top list (forgetting it would empty
        // the done list on every pass and the folder scan would fetch its first box forever);
        // it only needs no refresh, it shows no box.
        m_lastTop = titles.front();
        if (m_lastTop != kResponseTitle && !m_refreshRequested) {
            host.refreshList({});
        }
        m_queue.clear();
        m_done.clear();
        m_refreshRequested = false;
    }
    if (!m_queue.empty()) {
        return m_queue.front();
    }
    if (auto box = fromTitles(titles, boxFolder)) {
        return box;
    }
    return folderScan(boxFolder);
}

void BoxChooser::markDone(const std::string& remoteBox) {
    m_done.push_back(remoteBox);
    if (!m_queue.empty()) {
        m_queue.erase(m_queue.begin());
    }
}

void BoxChooser::endCycle() {
    m_queue.clear();
    m_done.clear();
    m_lastTop.clear();
    m_refreshRequested = true;
}

void BoxChooser::reset() {
    m_queue.clear();
    m_done.clear();
    m_lastTop.clear();
}

AlwaysDownloadWorker::AlwaysDownloadWorker(WorkerHost& host, Flags& flags, WorkerTimings timings)
    : m_host(host), m_flags(flags), m_timings(timings) {}

AlwaysDownloadWorker::~AlwaysDownloadWorker() {
    stop();
}

void AlwaysDownloadWorker::start() {
    if (!m_thread.joinable()) {
        m_stop = false;
        m_flags.gate.open();
        m_thread = std::thread([this] {
            while (pass()) {
            }
        });
    }
}

void AlwaysDownloadWorker::stop() {
    if (m_thread.joinable()) {
        m_stop = true;
        m_flags.gate.close();
        m_thread.join();
    }
}

namespace {

// The worker's hold on the main unit's connection for one box: the gate marked busy, so that
// no operation of the window begins meanwhile, the client and session number of that moment,
// and on the client the box's own cancel and no pump (the worker never runs the window's
// events). Given back between boxes.
class BoxLease {
public:
    BoxLease(Flags& flags, WorkerHost& host) : m_gate(flags.gate), m_held(m_gate.tryBeginWork()) {
        if (m_held) {
            m_connection = host.connection();
        }
        if (m_connection.client != nullptr) {
            m_cancel.emplace(*m_connection.client, m_gate.boxCancel());
            m_pumped.emplace(*m_connection.client, Pump{});
        }
    }
    ~BoxLease() {
        m_pumped.reset();
        m_cancel.reset();
        if (m_held) {
            m_gate.endWork();
        }
    }
    BoxLease(const BoxLease&) = delete;
    BoxLease& operator=(const BoxLease&) = delete;

    CFtpMng* client() const { return m_connection.client; }
    std::uint64_t generation() const { return m_connection.generation; }

private:
    WorkerGate& m_gate;
    bool m_held;
    WorkerConnection m_connection;
    std::optional<CFtpMng::CancelScope> m_cancel;
    std::optional<CFtpMng::PumpScope> m_pumped;
};

}  // namespace

bool AlwaysDownloadWorker::pass() {
    if (m_stop) {
        return false;
    }
    const std::optional<std::chrono::milliseconds> idle = idleWait();
    sleepFor(idle ? *idle : runNextBox());
    return true;
}

std::optional<std::chrono::milliseconds> AlwaysDownloadWorker::idleWait() {
    if (!m_host.loggedIn()) {
        m_chooser.reset();
        m_connectionTaken = false;
        return m_timings.loggedOut;
    }
    if (!m_connectionTaken) {
        sleepFor(m_timings.takeConnection);
        m_connectionTaken = true;
    }
    if (!m_host.enabled()) {
        return m_timings.off;
    }
    if (m_flags.gate.pauseRequested()) {
        return m_timings.paused;
    }
    if (!isBoxFolder(m_host.boxFolder())) {
        return m_timings.noBoxFolder;
    }
    return std::nullopt;
}

std::chrono::milliseconds AlwaysDownloadWorker::runNextBox() {
    const std::string boxFolder = m_host.boxFolder();
    BoxLease lease(m_flags, m_host);
    if (lease.client() == nullptr) {
        return m_timings.paused;  // an operation came first, or no session
    }
    std::optional<std::string> box = m_chooser.next(m_host.listTitles(), boxFolder, m_host);
    if (!box) {
        m_chooser.endCycle();
        return std::chrono::milliseconds(0);
    }
    // A box that is a link out of the data folder is passed over, as the lists leave it out.
    if (isLinkedBox(boxFolder + *box)) {
        m_chooser.markDone(*box);
        return std::chrono::milliseconds(0);
    }
    // A script working on the same data folder has it for now: this box waits for the next pass.
    DataFolderLock dataLock = DataFolderLock::acquire(std::string(paths::parentOf(boxFolder)));
    if (!dataLock.mayProceed()) {
        return m_timings.paused;
    }
    trace("常時ダウンロード Box:" + *box + "\n");
    if (auto settings = m_host.downloadSettings()) {
        lease.client()->setDownloadSettings(std::move(*settings));
    }
    m_flags.alwaysDownloadInProgress = 1;
    BoxResult result = lease.client()->downloadBox(*box, boxFolder + *box, true, true);
    m_flags.alwaysDownloadInProgress = 0;
    handleResult(*box, result.code, lease.generation());
    return m_timings.afterBox;
}

void AlwaysDownloadWorker::handleResult(const std::string& remoteBox, EngineResult result,
                                        std::uint64_t generation) {
    switch (result) {
        case EngineResult::Done:
        case EngineResult::NoMessages:
        case EngineResult::NoDirectory:
        case EngineResult::Cancelled:
            m_chooser.markDone(remoteBox);
            break;
        case EngineResult::FilesGone:
        case EngineResult::Paused:
            break;  // the same box again on the next pass
        case EngineResult::DeletionRefused:
            m_host.autoDeleteRefused();
            m_host.refreshList(remoteBox);
            m_chooser.markDone(remoteBox);
            break;
        case EngineResult::DiskFull:
            m_host.switchOff();
            m_host.showMessage(
                {always_text::kNoSpace, download_text::kErrorCaption, UserMessage::Icon::Exclamation});
            break;
        default:
            if (m_host.loggedIn()) {
                m_host.connectionLost(generation, {download_text::kCommError, download_text::kErrorCaption,
                                                   UserMessage::Icon::Exclamation});
            }
            break;
    }
}

}  // namespace voxmg::always
