#pragma once

#include "core/mail/smtp_sender.h"

namespace voxmg::mail {

// What the user reads about the outcome of a send (UTF-8), the same in the window and voxmgctl.
const char* sendCodeText(SendCode code);
// The same for the test mail, which is never sent again by itself.
const char* testSendText(SendCode code);

}  // namespace voxmg::mail
