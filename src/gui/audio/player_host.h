#pragma once

#include <functional>

class FrameHost;
class QDockWidget;

// What the built-in player needs of the main frame beyond the features' common calls: a place
// at the bottom for its pane, the frame's least height kept right when the pane shows or hides,
// and news of another list becoming the active one.
class PlayerHost {
public:
    virtual ~PlayerHost() = default;
    virtual FrameHost& frameHost() = 0;
    virtual void addBottomDock(QDockWidget* dock) = 0;
    virtual void updateMinimumHeight() = 0;
    // `changed` runs each time another list window becomes the active one.
    virtual void onActiveListChanged(std::function<void()> changed) = 0;
};
