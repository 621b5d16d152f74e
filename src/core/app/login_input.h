#pragma once

#include <string_view>

namespace voxmg {

// The login dialog's checks, in the order the user meets them.
enum class LoginInputError {
    None,
    NoAddress,         // "ＩＰアドレスを入力してください。"
    NoUser,            // "ユーザー名を入力してください。"
    NoPassword,        // "パスワードを入力してください。"
    UserCharacter,     // "入力値エラーです。"
    UnknownAccount,    // "入力値エラーです。"
    PasswordCharacter  // "入力値エラーです。"
};

// The main unit knows exactly two accounts; names compare case-sensitively.
bool isAcceptedAccount(std::u16string_view user);

// Characters whose low byte is a CP932 lead byte are refused: the main unit reads the user
// name and password as single bytes.
LoginInputError checkLoginInput(bool addressBlank, std::u16string_view user, std::u16string_view pass);

}  // namespace voxmg
