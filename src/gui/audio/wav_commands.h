#pragma once

class FrameHost;

// The WAV items of the settings menu: "WAVファイルを消去する..." and the WAV save folder
// dialog.
void installWavCommands(FrameHost& frame);
