#pragma once

#include <string>
#include <vector>

#include "core/base/flags.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/ftp_mng.h"

namespace voxmg {

// A message box the caller shows: the text, its caption and its icon.
struct UserMessage {
    enum class Icon { Information, Exclamation, Question, Stop };
    std::u16string text;
    std::u16string caption;
    Icon icon = Icon::Exclamation;
    bool operator==(const UserMessage&) const = default;
};

// What a download run needs from the window that started it. The gui implements it with the
// progress dialog and message boxes; the tool and the tests record what happens.
class DownloadUi {
public:
    virtual ~DownloadUi() = default;
    // Shows the progress dialog (and disables the frame); its sink receives the steps.
    virtual ProgressSink* openProgress() = 0;
    // Number of messages the run expects, for the dialog's "n／m" counter.
    virtual void setMessageCount(int /*messages*/) {}
    virtual void closeProgress() = 0;
    virtual void show(const UserMessage& message) = 0;
    // The connection was closed after a communication failure: the user is logged out.
    virtual void loggedOut() = 0;
};

// A box of the current box folder: kind folder ("rusuroku" or "naisen") and box name.
struct BoxRef {
    std::string kind;
    std::string name;
    bool operator==(const BoxRef&) const = default;
};

// What one run did, for the tool's report.
struct BoxOutcome {
    BoxRef box;
    BoxResult result;
};

// The bulk download of every box of the current box folder, the download of chosen boxes and
// the response message download, with their counting pass, progress and outcome messages.
class BulkDownload {
public:
    // `boxFolder`: data root + current box folder name. `settingsPath`: VOXMG.ini, whose
    // automatic deletion selections are switched off when the main unit refuses deletion.
    BulkDownload(CFtpMng& ftp, Flags& flags, DownloadUi& ui, std::string boxFolder, std::string settingsPath,
                 Pump pump);

    EngineResult runAll(bool infoOnly);
    EngineResult runSelected(const std::vector<BoxRef>& boxes, bool infoOnly);
    EngineResult runResponse();

    int total() const { return m_total; }
    int handled() const { return m_handled; }
    const std::vector<BoxOutcome>& outcomes() const { return m_outcomes; }

    // The boxes that take part, answering-machine boxes first, in folder order; box folders
    // made on the PC are left out.
    static std::vector<BoxRef> boxesOf(const std::string& boxFolder);

private:
    // Adds up what the boxes hold; false on a communication failure.
    bool count(const std::vector<BoxRef>& boxes, bool infoOnly, bool withResponse, int* boxesCounted);
    EngineResult downloadPass(const std::vector<BoxRef>& boxes, bool infoOnly, bool selected,
                              int countedBoxes);
    EngineResult downloadResponse();
    EngineResult run(const std::vector<BoxRef>& boxes, bool infoOnly, bool selected);
    // The outcome message, then the files passed over as no message.
    void finish(EngineResult result);
    void outcome(EngineResult result);
    void communicationError();
    void refusedAutoDelete();
    std::string localFolder(const BoxRef& box) const;
    void begin();
    void end();

    CFtpMng& m_ftp;
    Flags& m_flags;
    DownloadUi& m_ui;
    std::string m_boxFolder;
    std::string m_settingsPath;
    Pump m_pump;

    int m_total = 0;
    int m_handled = 0;
    bool m_gone = false;
    bool m_refusalSeen = false;
    bool m_refusalPending = false;
    std::vector<BoxOutcome> m_outcomes;
};

// Writes "0" for every box folder of the box folder into the settings file's sections
// "rusuroku" and "naisen": the main unit cannot delete, so nothing is selected any more.
void switchOffAutoDelete(const std::string& settingsPath, const std::string& boxFolder);

// The messages of the download runs, as the user reads them.
namespace download_text {
inline constexpr char16_t kCommError[] = u"通信エラーが発生しました。";
inline constexpr char16_t kNoMessages[] = u"音声メッセージがありません。";
inline constexpr char16_t kDone[] = u"ファイルのダウンロードが正常に完了しました。";
inline constexpr char16_t kGone[] = u"音声ファイルは既に消去されています。";
inline constexpr std::u16string_view kMalformed =
    u"主装置の次のファイルは音声メッセージとして読めないため、\nダウンロードせずに主装置に残しました：";
inline constexpr char16_t kNoSpace[] = u"ＰＣのメモリ不足です。";
inline constexpr char16_t kSomeGone[] =
    u"一部の音声ファイルがダウンロードできませんでした\n(音声ファイルなし)。";
inline constexpr char16_t kSomeNoSpace[] =
    u"一部の音声ファイルがダウンロードできませんでした\n(ＰＣのメモリ不足)。";
inline constexpr char16_t kWavFailed[] = u"ＷＡＶファイル変換に失敗しました。";
inline constexpr char16_t kAutoDeleteRefused[] =
    u"主装置が音声ファイルの自動消去に対応\nしていません。\n「ダウンロード時に主装置の音声ファイル\nを自動消"
    u"去する」機能を解除します。";
inline constexpr char16_t kErrorCaption[] = u"エラー";
inline constexpr char16_t kDoneCaption[] = u"ダウンロード完了";
}  // namespace download_text

}  // namespace voxmg
