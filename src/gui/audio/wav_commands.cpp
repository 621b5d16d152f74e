#include "gui/audio/wav_commands.h"

#include "gui/audio/wav_file_del_dlg.h"
#include "gui/audio/wav_save_dlg.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"

void installWavCommands(FrameHost& frame) {
    frame.setCommand(Command::DeleteWavFiles, {[&frame] {
                         CWavFileDelDlg dialog(frame.context(), frame.frameWindow());
                         dialog.exec();
                     }});
    frame.setCommand(Command::WavSaveFolder, {[&frame] {
                         CWavSaveDlg dialog(frame.context(), frame.frameWindow());
                         dialog.exec();
                     }});
}
