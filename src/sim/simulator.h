#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The main unit simulator: an FTP server of our own that serves a folder tree the way the
// main unit does. Tests start it in-process on an ephemeral port; voxmg-sim runs it alone.
//
// Folder tree under Config::root, as the main unit lays it out:
//   rusuroku/<box>/<messages>   answering-machine boxes
//   naisen/<box>/<messages>     extension boxes
//   outou/<messages>            system response messages
namespace voxmg::sim {

// Faults injected for tests. Every field's default means "behave normally".
struct Faults {
    bool noGreeting = false;                      // accept, then say nothing
    std::chrono::milliseconds replyDelay{0};      // wait before every reply
    long dropDataAfterBytes = -1;                 // RETR, STOR: close the data connection after N bytes
    bool dropControlAfterDrop = false;            // ... and the control connection too
    std::vector<std::string> vanishOnRetrieve;    // file names removed just before their RETR
    std::map<std::string, int> replyCodes;        // verb ("DELE", "STOR", "CWD"...) -> forced code
    std::vector<std::string> inUse;               // file names DELE and STOR answer with 450
    bool silentAfterStore = false;                // STOR: take the data, then never answer
    bool multiLineGreeting = false;               // "220-" continuation lines before the final one
    std::size_t longReplyLength = 0;              // pad replies to this many characters
    bool multiLineReplies = false;                // a "NNN-" line before every command reply
    std::map<std::string, int> transferEndCodes;  // verb -> code sent instead of 226 after its data
    bool claimCompleteAfterDrop = false;          // ... with dropDataAfterBytes: still answer 226
                                                  //     (STOR: and keep the part received)
    bool storeCompleteEarly = false;              // STOR: "226" right after "150", before any data
    bool endlessData = false;                     // RETR: after the file, send zeros until the client stops
    std::chrono::milliseconds dataChunkDelay{0};  // pause before every data chunk (a slow line)
    std::size_t dataChunkBytes = 1024;            // bytes per data chunk (a few: a trickling peer)
};

struct Config {
    std::string root;             // folder tree served
    std::string model = "Zu-QX";  // greeting: "220 " + model + " ..."
    std::map<std::string, std::string> accounts{{"hozen", "hozen"}, {"kansei", "kansei"}};
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = 0;  // 0 = ephemeral
    Faults faults;
};

class Simulator {
public:
    explicit Simulator(Config config);
    ~Simulator();  // stops and joins
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool start();  // binds, listens and serves on its own thread(s); false when it cannot bind
    void stop();
    std::uint16_t port() const;

    void setFaults(const Faults& faults);  // thread-safe; applies to following commands
    // Every command line received so far (passwords masked), for tests.
    std::vector<std::string> commandLog() const;
    void clearCommandLog();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Fills `root` with demo content: a few answering-machine boxes, a dozen extension boxes,
// messages with headers as the main unit writes them and G.729A voice, and some response
// messages in outou. Returns false when it could not write the tree.
bool writeDemoContent(const std::string& root);

}  // namespace voxmg::sim
