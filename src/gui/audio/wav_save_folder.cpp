#include "gui/audio/wav_save_folder.h"

#include "core/base/fixed_text.h"
#include "gui/base/qt_text.h"

bool fitsWavSavePath(const QString& folder) {
    const std::u16string text = fromQ(folder);
    return voxmg::FixedText<259>(text).str() == text;
}

QString wavSaveFolderPrompt() {
    return QStringLiteral("\n保存するフォルダを指定してください。");
}
