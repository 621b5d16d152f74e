#pragma once

class FrameHost;

// "追加" and "アップロード" on the response list: a WAV or WMA file of the PC into the selected
// slot, and the selected slots' messages to the main unit.
void installResponseCommands(FrameHost& frame);
