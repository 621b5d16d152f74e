#pragma once

#include <memory>

#include "core/device/bulk_download.h"
#include "gui/device/download_runner.h"

class FrameHost;
class CPrgFileDwnDlg;

// The downloads as the frame runs them: the bulk download driver on the frame's current
// connection, with the progress dialog and message boxes of this program.
class FrameDownloadRunner final : public DownloadRunner, public voxmg::DownloadUi {
public:
    explicit FrameDownloadRunner(FrameHost& frame);
    ~FrameDownloadRunner() override;

    int bulkDownload(bool infoOnly) override;
    int selectedDownload(const BoxChoice& boxes, bool infoOnly) override;
    int responseDownload() override;

    voxmg::ProgressSink* openProgress() override;
    void setMessageCount(int messages) override;
    void closeProgress() override;
    void show(const voxmg::UserMessage& message) override;
    void loggedOut() override;

    CPrgFileDwnDlg* progress() const { return m_progress.get(); }

private:
    template <typename Run>
    int run(Run&& body);

    FrameHost& m_frame;
    std::unique_ptr<CPrgFileDwnDlg> m_progress;
};
