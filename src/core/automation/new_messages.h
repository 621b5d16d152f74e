#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

// The new-message notice of always-download: which messages reached the boxes shown in the
// open lists since the program last looked at those boxes.
namespace voxmg::always {

struct Arrival {
    int count = 0;
    std::u16string box;     // the box of the newest message, as the list names it
    std::u16string caller;  // its caller's name, or number when no name came with it
};

class ArrivalWatch {
public:
    // The boxes the lists show now. A box seen for the first time, or changed since it was
    // last looked at (the user downloaded, moved or deleted messages meanwhile), is remembered
    // as it is: what it holds now is not new.
    void watch(const std::string& boxFolder, const std::vector<std::u16string>& titles);
    // After the worker fetched into `remoteBox` ("/rusuroku/NAME" or "/naisen/NAME"): the
    // messages of that box that were not there before, when a list shows the box (count 0
    // otherwise). They count once: they are remembered from now on.
    Arrival arrived(const std::string& boxFolder, const std::string& remoteBox,
                    const std::vector<std::u16string>& titles);

private:
    struct Seen {
        std::set<std::string> names;
        std::filesystem::file_time_type changed;  // the folder's time when it was read
    };
    std::map<std::string, Seen> m_known;  // by box folder
};

}  // namespace voxmg::always
