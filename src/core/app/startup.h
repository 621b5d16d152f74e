#pragma once

#include "core/app/placement.h"
#include "core/base/profile_file.h"
#include "core/settings/settings.h"

namespace voxmg {

// After loading: a specified start-up data root folder (NEXTFOLDER) replaces the stored
// one; with INIT 1 and a start-up box folder other than the one of list window 1, that box
// folder becomes the current one and the saved list windows are not restored.
// Returns whether list windows may be restored.
bool applyStartupFolder(Settings& settings);

// What the frame offers the list window restore. The list windows themselves belong to the
// list view; the frame forwards to whatever creates them.
class ListWindowHost {
public:
    virtual ~ListWindowHost() = default;
    virtual void setOpenListCount(int count) = 0;
    virtual void setListsOpenMaximized() = 0;
    // Creates list window n, which opens list n from its list title; false when it cannot.
    virtual bool openList(int n) = 0;
    virtual void placeList(int n, const Rect& rect, int showCmd) = 0;
    virtual void closeAllLists() = 0;
    virtual void activateList(int n) = 0;
};

enum class StartupFolderOutcome {
    FolderMissing,  // folder values cleared; the program runs with no box folder
    Restored,       // lists restored (or none to restore); CHANGE set back to 0
    RestoreFailed,  // a list could not be opened; every list closed, CHANGE kept
};

// The start-up folder check and the list window restore. `placements` is the settings file
// (sections Window1..Window4).
StartupFolderOutcome checkStartupFolder(Settings& settings, const ProfileFile& placements, bool mayRestore,
                                        ListWindowHost& host);

// The start-up folder dialog's OK. `specified` is the "open the specified folder" radio,
// `folderText` the folder field. False (input error, dialog stays open) when the specified
// folder is empty.
bool applyFolderChoice(Settings& settings, bool specified, std::u16string_view folderText);

}  // namespace voxmg
