#pragma once

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
    // The boxes the lists show now. A box seen for the first time is remembered as it is: what
    // it holds already is not new.
    void watch(const std::string& boxFolder, const std::vector<std::u16string>& titles);
    // After the worker fetched into `remoteBox` ("/rusuroku/NAME" or "/naisen/NAME"): the
    // messages of that box that were not there before, when a list shows the box (count 0
    // otherwise). They count once: they are remembered from now on.
    Arrival arrived(const std::string& boxFolder, const std::string& remoteBox,
                    const std::vector<std::u16string>& titles);

private:
    std::map<std::string, std::set<std::string>> m_known;  // box folder -> message names
};

}  // namespace voxmg::always
