#pragma once

#include "core/mail/smtp_sender.h"

namespace voxmg::mail {

// What the user reads about the outcome of a send (UTF-8), the same in the window and voxmgctl.
const char* sendCodeText(SendCode code);

}  // namespace voxmg::mail
