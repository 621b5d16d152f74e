#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/base/profile_file.h"

namespace voxmg {

// One recycled folder as the restore dialog lists it.
struct FLDLIST_RECYCLE {
    std::string name;     // last component of orgPath
    std::string orgPath;  // where the folder was
    std::string dstPath;  // where it lies now, as written in the list
    int section = 0;      // n of its section "FOLDERn"
};

// The recycle area of temporarily deleted folders: a folder "tmp" with the list
// "tmp/info.ini" (COUNT, then sections FOLDER1..FOLDERn with OrgPath and DstPath). The
// original resolved "./tmp" against the working folder; a desktop starts programs anywhere,
// so here it lies in the program's folder. DstPath is written in the original's relative form
// "./tmp/<name>_<5 hex digits>" so the list stays readable by either program.
class RecycleList {
public:
    // Random numbers for the recycled names; only the low 15 bits are used, as the original's
    // generator gave 0..32767.
    using Random = std::function<unsigned()>;

    // `programFolder` holds "tmp"; the default generator is seeded with the clock.
    explicit RecycleList(std::string programFolder, Random random = {});

    const std::string& folder() const { return m_tmp; }
    std::string listPath() const;

    // COUNT of the list; 0 when there is no list. The restore button is on when above 0.
    int count() const;
    // Entries 1..COUNT that have an OrgPath, in section order.
    std::vector<FLDLIST_RECYCLE> entries() const;

    // Moves the folder into the recycle area and appends its entry. False (list unchanged,
    // folder where it was) when the move or the list update fails.
    bool recycle(const std::string& folder);

    // Moves each entry's folder back to its OrgPath; the entry of a folder that came back is
    // removed, one that failed stays. Renumbers afterwards. The number restored.
    int restore(const std::vector<FLDLIST_RECYCLE>& chosen);

    // Sections FOLDER1..FOLDER1000: those with both OrgPath and DstPath keep their order and are
    // numbered from 1 without gaps, the others are removed.
    // Returns the number of sections kept, which is also written as COUNT.
    static int renumber(ProfileFile& list);

private:
    bool ensureFolder() const;
    // The folder a DstPath names, or empty when it points outside the recycle area.
    std::string resolveDst(const std::string& dstPath) const;

    std::string m_tmp;
    Random m_random;
};

}  // namespace voxmg
