#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "core/base/paths.h"

class FrameHost;
class CListDispView;
namespace voxmg::audio {
class DecodingEngine;
}

// Opens a WAV file with the desktop's player. Tests replace it.
class WavOpener {
public:
    virtual ~WavOpener() = default;
    // False when nothing on the desktop can open the file.
    virtual bool open(const QString& wavPath) = 0;
};

class DesktopWavOpener final : public WavOpener {
public:
    bool open(const QString& wavPath) override;
};

// What "変換" and "再生" need besides the frame: the decoder, the player, and the frame's list
// of WAV files to remove at exit ("再生後にWAVファイルを自動消去する").
struct ConvertCommandDeps {
    voxmg::audio::DecodingEngine& engine;
    WavOpener& opener;
    std::vector<std::string>& wavFilesToRemove;
    voxmg::FreeSpaceProbe freeSpace = voxmg::systemFreeSpaceProbe();
    // "再生" in the built-in player instead; false leaves it to the desktop's player.
    std::function<bool(CListDispView& view)> playInPane = nullptr;
};

// "変換": the active list's selected messages to WAV after "変換の確認", with "変換中".
void convertSelected(FrameHost& frame, CListDispView& view, const ConvertCommandDeps& deps);
// "再生": the one selected message, converted first when its WAV file is missing.
void playSelected(FrameHost& frame, CListDispView& view, const ConvertCommandDeps& deps);

// Plugs both buttons into the frame; they follow the active list's selection.
void installConvertCommands(FrameHost& frame, ConvertCommandDeps deps);
