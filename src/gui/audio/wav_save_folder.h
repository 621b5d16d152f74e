#pragma once

#include <QString>

// The WAV save folder as the settings keep it: a folder chosen in the browser, without a
// trailing separator. The settings field holds 259 characters; a longer path would be cut
// into another folder's name, so it is refused instead.
bool fitsWavSavePath(const QString& folder);

// The prompt of the folder browser of the WAV dialogs.
QString wavSaveFolderPrompt();
