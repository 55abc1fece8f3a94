#include "transport/smtp/SmtpFailure.h"

namespace orv::smtp {

namespace {

int replyCode(const QByteArray &reply)
{
    return reply.left(3).toInt();
}

// The address in "RCPT TO:<address>".
QString commandAddress(const QByteArray &command)
{
    const qsizetype open = command.indexOf('<');
    const qsizetype close = command.lastIndexOf('>');
    return open >= 0 && close > open ? QString::fromUtf8(command.mid(open + 1, close - open - 1))
                                     : QString();
}

// What the server refused, judged by the command it answered.
QString refusal(const Dialogue &dialogue)
{
    const QByteArray command = dialogue.refusedCommand.toUpper();
    const int code = replyCode(dialogue.refusal);
    if (command.startsWith("RCPT"))
        return QStringLiteral("が宛先「%1」を拒否しました。")
            .arg(commandAddress(dialogue.refusedCommand));
    if (code == 530 || code == 535 || command.startsWith("AUTH"))
        return QStringLiteral(
            "でのユーザー認証に失敗しました。ユーザーIDとパスワードを確かめてください。");
    if (command.startsWith("MAIL"))
        return QStringLiteral("が差出人「%1」を拒否しました。")
            .arg(commandAddress(dialogue.refusedCommand));
    return QStringLiteral("がメールの受け取りを拒否しました。");
}

QString cause(CURLcode code, const Dialogue &dialogue)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("が見つかりません。サーバー名を確かめてください。");
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("に接続できません。");
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("から応答がありません。");
    case CURLE_LOGIN_DENIED:
        return QStringLiteral(
            "でのユーザー認証に失敗しました。ユーザーIDとパスワードを確かめてください。");
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_USE_SSL_FAILED:
        return QStringLiteral("と安全な接続を確立できません（証明書を確認できません）。");
    default:
        break;
    }
    if (!dialogue.refusal.isEmpty())
        return refusal(dialogue);
    if (code == CURLE_GOT_NOTHING || code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR)
        return QStringLiteral("との接続が途中で切れました。");
    return QStringLiteral("への送信に失敗しました。");
}

} // namespace

void Dialogue::replyReceived(const QByteArray &reply)
{
    if (refusal.isEmpty() && replyCode(reply) >= 400) {
        refusal = reply;
        refusedCommand = lastCommand;
    }
}

QString failureText(const QString &server, CURLcode code, const Dialogue &dialogue,
                    const QString &curlDetail)
{
    const QString sentence =
        QStringLiteral("SMTPサーバー「%1」").arg(server) + cause(code, dialogue);
    const QString detail =
        dialogue.refusal.isEmpty() ? curlDetail : QString::fromUtf8(dialogue.refusal);
    return detail.isEmpty() ? sentence : sentence + QStringLiteral("（%1）").arg(detail);
}

} // namespace orv::smtp
