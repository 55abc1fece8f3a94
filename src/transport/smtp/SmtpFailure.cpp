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

// A 4xx reply: the server may take the message later.
bool isTemporary(const Dialogue &dialogue)
{
    return replyCode(dialogue.refusal) < 500;
}

// What the server refused, judged by the command it answered.
QString refusal(const Dialogue &dialogue)
{
    const QByteArray command = dialogue.refusedCommand.toUpper();
    const int code = replyCode(dialogue.refusal);
    const QString refused = isTemporary(dialogue) ? QStringLiteral("一時的に受け付けませんでした")
                                                  : QStringLiteral("拒否しました");
    if (command.startsWith("RCPT"))
        return QStringLiteral("が宛先「%1」を%2。")
            .arg(commandAddress(dialogue.refusedCommand), refused);
    if (code == 530 || code == 535 || command.startsWith("AUTH"))
        return isTemporary(dialogue)
                   ? QStringLiteral("でのユーザー認証が一時的にできませんでした。")
                   : QStringLiteral("でのユーザー認証に失敗しました。"
                                    "ユーザーIDとパスワードを確かめてください。");
    if (command.startsWith("MAIL"))
        return QStringLiteral("が差出人「%1」を%2。")
            .arg(commandAddress(dialogue.refusedCommand), refused);
    return QStringLiteral("がメールの受け取りを%1。").arg(refused);
}

QString refusalWithAdvice(const Dialogue &dialogue)
{
    return isTemporary(dialogue)
               ? refusal(dialogue) + QStringLiteral("しばらくしてから送り直せます。")
               : refusal(dialogue);
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
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("と安全な接続を確立できません（サーバーの証明書を確認できません）。");
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("とTLSで通信を始められません（このポートではサーバーがTLSで応答し"
                              "ませんでした）。ポート番号と「smtps://」の指定を確かめてください。");
    case CURLE_USE_SSL_FAILED:
        return dialogue.startTlsSent
                   ? QStringLiteral("が暗号化通信の開始（STARTTLS）を断ったため、"
                                    "パスワードもメールも送らずに接続を切りました。")
                   : QStringLiteral("と暗号化通信を始められないため、"
                                    "パスワードもメールも送らずに接続を切りました。");
    default:
        break;
    }
    if (!dialogue.refusal.isEmpty())
        return refusalWithAdvice(dialogue);
    if (code == CURLE_GOT_NOTHING || code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR)
        return QStringLiteral("との接続が途中で切れました。");
    return QStringLiteral("への送信に失敗しました。");
}

} // namespace

void Dialogue::commandSent(const QByteArray &command)
{
    lastCommand = command;
    if (command.trimmed().toUpper() == "STARTTLS")
        startTlsSent = true;
}

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
