#include "core/device/bulk_download.h"

#include <utility>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/store/box_links.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg {
namespace {

using Icon = UserMessage::Icon;

UserMessage error(const char16_t* text) {
    return {text, download_text::kErrorCaption, Icon::Exclamation};
}
UserMessage info(const char16_t* text) {
    return {text, download_text::kDoneCaption, Icon::Information};
}

std::string remoteDirOf(const BoxRef& box) {
    return "/" + box.kind + "/" + box.name;
}

}  // namespace

BulkDownload::BulkDownload(CFtpMng& ftp, Flags& flags, DownloadUi& ui, std::string boxFolder,
                           std::string settingsPath, Pump pump)
    : m_ftp(ftp),
      m_flags(flags),
      m_ui(ui),
      m_boxFolder(std::move(boxFolder)),
      m_settingsPath(std::move(settingsPath)),
      m_pump(std::move(pump)) {}

std::vector<BoxRef> BulkDownload::boxesOf(const std::string& boxFolder) {
    std::atomic<int> noCancel{0};
    CFileMng files(noCancel);
    std::vector<BoxRef> boxes;
    for (std::string_view kind : {naming::kAnswerKind, naming::kExtensionKind}) {
        std::vector<std::string> folders;
        files.listSubfolders(paths::join(boxFolder, kind), folders);
        for (const std::string& folder : folders) {
            std::string name(paths::fileName(folder));
            if (files.readBuildMark(folder) == 1 || paths::isUnsafeName(name)) {
                continue;  // made on the PC: the main unit has no such box
            }
            if (isLinkedBox(folder)) {
                continue;  // a link out of the data folder: nothing is written through it
            }
            boxes.push_back({std::string(kind), name});
        }
    }
    return boxes;
}

std::string BulkDownload::localFolder(const BoxRef& box) const {
    return paths::join(paths::join(m_boxFolder, box.kind), box.name);
}

void BulkDownload::begin() {
    m_total = m_handled = 0;
    m_gone = m_refusalSeen = m_refusalPending = false;
    m_outcomes.clear();
    m_ftp.setProgressSink(m_ui.openProgress());
    m_flags.pauseWorker(1, m_pump);
    m_flags.cancelAll = 0;
    m_flags.suspendRequest = 0;
}

void BulkDownload::end() {
    m_ui.closeProgress();
    m_ftp.setProgressSink(nullptr);
    m_flags.resumeWorker();
}

void BulkDownload::communicationError() {
    m_ui.show(error(download_text::kCommError));
    m_ftp.disconnect();
    m_ui.loggedOut();
}

void BulkDownload::refusedAutoDelete() {
    switchOffAutoDelete(m_settingsPath, m_boxFolder);
    m_ui.show(error(download_text::kAutoDeleteRefused));
}

bool BulkDownload::count(const std::vector<BoxRef>& boxes, bool infoOnly, bool withResponse,
                         int* boxesCounted) {
    int counted = 0;
    for (const BoxRef& box : boxes) {
        CountResult n = m_ftp.countBoxFiles(localFolder(box), remoteDirOf(box), infoOnly);
        if (n.code == EngineResult::NoDirectory) {
            continue;  // no such box on the main unit: passed over
        }
        if (n.code != EngineResult::Done) {
            return false;
        }
        m_total += n.count;
        ++counted;
    }
    if (withResponse) {
        CountResult n =
            m_ftp.countBoxFiles(paths::join(m_boxFolder, naming::kResponseKind), "/outou/", false);
        if (n.code != EngineResult::Done && n.code != EngineResult::NoDirectory) {
            return false;
        }
        m_total += n.count;
    }
    if (boxesCounted) {
        *boxesCounted = counted;
    }
    return true;
}

EngineResult BulkDownload::downloadPass(const std::vector<BoxRef>& boxes, bool infoOnly, bool selected,
                                        int countedBoxes) {
    for (const BoxRef& box : boxes) {
        if (m_handled >= m_total || m_flags.cancelAll.load() != 0) {
            break;
        }
        BoxResult done = infoOnly ? m_ftp.downloadBoxInfoOnly(localFolder(box), remoteDirOf(box))
                                  : m_ftp.downloadBox(remoteDirOf(box), localFolder(box), false, false);
        m_outcomes.push_back({box, done});
        m_handled += done.handled;
        const EngineResult rc = done.code;
        if (rc == EngineResult::FilesGone) {
            m_gone = true;
            continue;
        }
        if (rc == EngineResult::NoDirectory) {
            continue;
        }
        if (rc == EngineResult::DeletionRefused) {
            if (!m_refusalSeen) {
                m_refusalSeen = true;
                // A chosen single box reports the refusal after its outcome.
                if (selected && countedBoxes <= 1) {
                    switchOffAutoDelete(m_settingsPath, m_boxFolder);
                    m_refusalPending = true;
                } else {
                    refusedAutoDelete();
                }
            }
            continue;
        }
        if (rc != EngineResult::Done) {
            return rc;
        }
    }
    return EngineResult::Done;
}

EngineResult BulkDownload::downloadResponse() {
    BoxResult done = m_ftp.downloadResponseMessages(paths::join(m_boxFolder, naming::kResponseKind));
    m_outcomes.push_back({{std::string(naming::kResponseKind), {}}, done});
    m_handled += done.handled;
    if (done.code == EngineResult::FilesGone) {
        if (done.listed > 0) {
            m_gone = true;
        }
        return EngineResult::Done;
    }
    return done.code;
}

EngineResult BulkDownload::runAll(bool infoOnly) {
    return run(boxesOf(m_boxFolder), infoOnly, false);
}

EngineResult BulkDownload::runSelected(const std::vector<BoxRef>& boxes, bool infoOnly) {
    return run(boxes, infoOnly, true);
}

EngineResult BulkDownload::run(const std::vector<BoxRef>& boxes, bool infoOnly, bool selected) {
    begin();
    // The response messages come with a full download of all boxes only.
    const bool withResponse = !selected && !infoOnly;
    int counted = 0;
    if (!count(boxes, infoOnly, withResponse, &counted)) {
        end();
        communicationError();
        return EngineResult::CommFailure;
    }
    if (m_total < 1) {
        end();
        m_ui.show(error(download_text::kNoMessages));
        return EngineResult::NoMessages;
    }
    if (ProgressSink* sink = m_ftp.progressSink()) {
        sink->setRange(infoOnly ? m_total : 100);
    }
    if (!infoOnly) {
        m_ui.setMessageCount(m_total / 2);
    }
    for (int i = 0; i < 12; ++i) {
        pumpOnce(m_pump);
    }
    // Answering-machine boxes first, then extension boxes; a pending result ends the pass.
    std::vector<BoxRef> ordered;
    for (std::string_view kind : {naming::kAnswerKind, naming::kExtensionKind}) {
        for (const BoxRef& box : boxes) {
            if (box.kind == kind) {
                ordered.push_back(box);
            }
        }
    }
    EngineResult result = downloadPass(ordered, infoOnly, selected, counted);
    if (result == EngineResult::Done && m_flags.cancelAll.load() == 0 && withResponse) {
        result = downloadResponse();
    }
    end();
    finish(result);
    if (m_refusalPending) {
        m_ui.show(error(download_text::kAutoDeleteRefused));
    }
    return result;
}

EngineResult BulkDownload::runResponse() {
    begin();
    EngineResult result = downloadResponse();
    m_total = 0;
    for (const BoxOutcome& o : m_outcomes) {
        m_total += o.result.listed;
    }
    end();
    finish(result);
    return result;
}

void BulkDownload::finish(EngineResult result) {
    if (m_flags.cancelAll.load() != 0) {
        return;  // the user cancelled: no outcome message
    }
    outcome(result);
    std::u16string names;
    for (const BoxOutcome& o : m_outcomes) {
        for (const std::string& name : o.result.malformed) {
            const std::string dir = o.box.name.empty() ? "/" + o.box.kind : remoteDirOf(o.box);
            names += u"\n" + text::utf16FromUtf8(dir + "/" + name);
        }
    }
    if (!names.empty()) {
        m_ui.show(error((std::u16string(download_text::kMalformed) + names).c_str()));
    }
}

void BulkDownload::outcome(EngineResult result) {
    if (m_total <= 1) {
        // A single file that was gone is not a success, even though the run went on.
        if (result == EngineResult::Done && !m_gone) {
            m_ui.show(info(download_text::kDone));
        } else if (m_gone) {
            m_ui.show(error(download_text::kGone));
        } else if (result == EngineResult::DiskFull) {
            m_ui.show(error(download_text::kNoSpace));
        } else {
            communicationError();
        }
        return;
    }
    if (result == EngineResult::CommFailure) {
        communicationError();
        return;
    }
    if (result == EngineResult::Done && !m_gone) {
        m_ui.show(info(download_text::kDone));
        return;
    }
    bool partial = m_handled > 0 && m_handled < m_total;
    if (m_gone) {
        m_ui.show(partial ? info(download_text::kSomeGone) : error(download_text::kGone));
    }
    if (result == EngineResult::DiskFull) {
        m_ui.show(partial ? info(download_text::kSomeNoSpace) : error(download_text::kNoSpace));
    } else if (result == EngineResult::Cancelled) {
        m_ui.show(error(download_text::kWavFailed));
    }
}

void switchOffAutoDelete(const std::string& settingsPath, const std::string& boxFolder) {
    ProfileFile file = ProfileFile::load(settingsPath);
    std::atomic<int> noCancel{0};
    CFileMng files(noCancel);
    for (std::string_view kind : {naming::kAnswerKind, naming::kExtensionKind}) {
        std::vector<std::string> folders;
        files.listSubfolders(paths::join(boxFolder, kind), folders);
        for (const std::string& folder : folders) {
            file.writeString(text::utf16FromUtf8(kind), text::utf16FromUtf8(paths::fileName(folder)), u"0");
        }
    }
    file.save(0600);
}

}  // namespace voxmg
