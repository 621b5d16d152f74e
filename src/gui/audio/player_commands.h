#pragma once

#include <QObject>

#include "core/lists/player_session.h"

class FrameHost;
class PlayerHost;
class ListWindows;
class CListDispView;
class PlayerPane;
class QDockWidget;

// The built-in player in the frame: the pane docked under the list windows (item "内蔵プレーヤー"
// of the window menu, remembered in the settings), following the active list's selection,
// and the triage keys of the list windows: Space play/pause, Left/Right 5 s back/forward,
// Up/Down the previous/next row, Enter the recording info, Delete "消去", F the flag, N the
// next unplayed message.
class PlayerCommands : public QObject {
    Q_OBJECT
public:
    PlayerCommands(PlayerHost& host, ListWindows& lists, voxmg::player::AudioSink& sink);
    ~PlayerCommands() override;

    PlayerPane* pane() const { return m_pane; }
    QDockWidget* dock() const { return m_dock; }
    void setShown(bool shown);
    // "再生" when "再生ボタンで内蔵プレーヤーを使う" is on: the selected message plays in the pane.
    void playSelected(CListDispView& view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach(CListDispView* view);
    void followSoon();
    void follow();
    bool triageKey(CListDispView& view, int key);
    // True when the list has selected rows; otherwise tells the user so.
    bool hasSelection(CListDispView& view);

    PlayerHost& m_host;
    FrameHost& m_frame;
    ListWindows& m_lists;
    QDockWidget* m_dock;
    PlayerPane* m_pane;
    bool m_followQueued = false;
};
