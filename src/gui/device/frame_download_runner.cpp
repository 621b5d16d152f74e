#include "gui/device/frame_download_runner.h"

#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "gui/base/app_context.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/device_session.h"
#include "gui/base/frame_host.h"
#include "gui/base/prg_file_dwn_dlg.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

FrameDownloadRunner::FrameDownloadRunner(FrameHost& frame) : m_frame(frame) {}

FrameDownloadRunner::~FrameDownloadRunner() = default;

template <typename Run>
int FrameDownloadRunner::run(Run&& body) {
    AppContext& context = m_frame.context();
    const DataFolderGuard dataLock(context, m_frame.frameWindow());
    if (!dataLock) {
        return -1;
    }
    FtpLease ftp = m_frame.session().acquire();
    if (!ftp) {
        return -1;
    }
    ftp->setDownloadSettings(voxmg::downloadSettingsOf(context.doc.settings()));
    voxmg::BulkDownload download(*ftp.client(), context.flags, *this, context.doc.boxFolderPath(),
                                 context.doc.settingsPath(), context.pump);
    const int result = voxmg::code(body(download));
    ftp->setProgressSink(nullptr);
    return result;
}

int FrameDownloadRunner::bulkDownload(bool infoOnly) {
    return run([infoOnly](voxmg::BulkDownload& d) { return d.runAll(infoOnly); });
}

int FrameDownloadRunner::selectedDownload(const BoxChoice& boxes, bool infoOnly) {
    std::vector<voxmg::BoxRef> refs;
    for (const auto& box : boxes.rusuroku) {
        refs.push_back({"rusuroku", voxmg::text::utf8FromUtf16(box)});
    }
    for (const auto& box : boxes.naisen) {
        refs.push_back({"naisen", voxmg::text::utf8FromUtf16(box)});
    }
    return run([&refs, infoOnly](voxmg::BulkDownload& d) { return d.runSelected(refs, infoOnly); });
}

int FrameDownloadRunner::responseDownload() {
    return run([](voxmg::BulkDownload& d) { return d.runResponse(); });
}

voxmg::ProgressSink* FrameDownloadRunner::openProgress() {
    m_frame.setFrameEnabled(false);
    m_progress = std::make_unique<CPrgFileDwnDlg>(m_frame.context().flags, m_frame.frameWindow());
    m_progress->show();
    return m_progress.get();
}

void FrameDownloadRunner::setMessageCount(int messages) {
    if (m_progress) {
        m_progress->setMessageCount(messages);
    }
}

void FrameDownloadRunner::closeProgress() {
    m_progress.reset();
    m_frame.setFrameEnabled(true);
}

void FrameDownloadRunner::show(const voxmg::UserMessage& message) {
    showMessage(m_frame.context().messages, m_frame.frameWindow(), message);
}

void FrameDownloadRunner::loggedOut() {
    m_frame.connectionLost();
}
