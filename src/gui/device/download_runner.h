#pragma once

#include <string>
#include <vector>

// Where the download dialogs hand over the user's choice. The downloads themselves (with
// their progress dialog and outcome messages) plug in here; until one is plugged in the
// download commands stay disabled.
struct BoxChoice {
    std::vector<std::u16string> rusuroku;
    std::vector<std::u16string> naisen;
    bool empty() const { return rusuroku.empty() && naisen.empty(); }
};

class DownloadRunner {
public:
    virtual ~DownloadRunner() = default;
    // Every box of the current box folder; the result code of the bulk download.
    virtual int bulkDownload(bool infoOnly) = 0;
    virtual int selectedDownload(const BoxChoice& boxes, bool infoOnly) = 0;
    virtual int responseDownload() = 0;
};
