#include "core/mail/send_texts.h"

namespace voxmg::mail {

const char* sendCodeText(SendCode c) {
    switch (c) {
        case SendCode::Sent:
            return "送信しました。";
        case SendCode::Temporary:
            return "メールサーバーに送れませんでした。後で送り直します。";
        case SendCode::Permanent:
            return "メールサーバーが受け付けませんでした。";
        case SendCode::CertificateRefused:
            return "メールサーバーの証明書を確認できません。事務所の証明書ファイルを設定してください。";
        case SendCode::LoginRefused:
            return "メールサーバーがユーザー名またはパスワードを受け付けませんでした。";
        case SendCode::NoTls:
            return "メールサーバーが暗号化 (STARTTLS) に対応していません。";
        case SendCode::BadSettings:
            break;
    }
    return "メール転送の設定が正しくありません。";
}

const char* testSendText(SendCode c) {
    return c == SendCode::Temporary ? "テストメールをメールサーバーに送れませんでした。" : sendCodeText(c);
}

}  // namespace voxmg::mail
