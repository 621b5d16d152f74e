#include "core/app/login_input.h"

#include "core/base/text.h"

namespace voxmg {

bool isAcceptedAccount(std::u16string_view user) {
    return user == u"hozen" || user == u"kansei";
}

LoginInputError checkLoginInput(bool addressBlank, std::u16string_view user, std::u16string_view pass) {
    if (addressBlank) {
        return LoginInputError::NoAddress;
    }
    if (user.empty()) {
        return LoginInputError::NoUser;
    }
    if (pass.empty()) {
        return LoginInputError::NoPassword;
    }
    if (text::containsLeadByteLowBits(user)) {
        return LoginInputError::UserCharacter;
    }
    if (!isAcceptedAccount(user)) {
        return LoginInputError::UnknownAccount;
    }
    if (text::containsLeadByteLowBits(pass)) {
        return LoginInputError::PasswordCharacter;
    }
    return LoginInputError::None;
}

}  // namespace voxmg
