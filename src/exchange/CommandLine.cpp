#include "exchange/CommandLine.h"

#include "exchange/AddressExchange.h"
#include "exchange/HistoryExchange.h"
#include "shell/Settings.h"

namespace orv::exchange {

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

const QString kUsageText =
    QStringLiteral("使い方:\n"
                   "  orvaine --export-mbox received|sent FILE   履歴をmboxファイルに書き出します\n"
                   "  orvaine --import-mbox FILE                 "
                   "mbox/emlファイル(またはemlのフォルダ)を着信履歴に取り込みます\n"
                   "  orvaine --export-addresses FILE.csv|FILE.vcf  アドレス帳を書き出します");

CommandOutcome usage(const QString &problem)
{
    return {kUsage, problem + QLatin1Char('\n') + kUsageText};
}

CommandOutcome exportHistory(const QStringList &arguments, const AppDir &appDir)
{
    if (arguments.size() != 3)
        return usage(QStringLiteral(
            "--export-mbox には received か sent と書き出し先のファイル名が要ります。"));
    const QString which = arguments[1];
    if (which != QStringLiteral("received") && which != QStringLiteral("sent"))
        return usage(QStringLiteral("「%1」は received でも sent でもありません。").arg(which));
    const bool sent = which == QStringLiteral("sent");
    MailStore store = sent ? MailStore::SentStore(appDir) : MailStore::ReceivedStore(appDir);
    const ExportContext context{sent ? History::Sent : History::Received,
                                LoadSettings(appDir).mailAddress};
    const ExchangeResult result = exportMbox(store, context, arguments[2]);
    if (!result.status)
        return {kFailed,
                result.status.error() +
                    QStringLiteral("\n書き出しを中止しました。ファイルは作っていません。")};
    return {0, QStringLiteral("%1 件のメールを「%2」に書き出しました。")
                   .arg(result.count)
                   .arg(arguments[2])};
}

CommandOutcome importHistory(const QStringList &arguments, const AppDir &appDir)
{
    if (arguments.size() != 2)
        return usage(QStringLiteral("--import-mbox には取り込むファイル名が要ります。"));
    const QStringList sources = importSources(arguments[1]);
    if (sources.isEmpty())
        return {kFailed,
                QStringLiteral("「%1」に取り込むemlファイルがありません。").arg(arguments[1])};
    const ExchangeResult result = importMessages(appDir, sources);
    const QString count =
        QStringLiteral("%1 件のメールを着信履歴に取り込みました。").arg(result.count);
    if (!result.status)
        return {kFailed,
                result.status.error() + QStringLiteral("\n取り込みを中止しました。") + count};
    return {0, count};
}

CommandOutcome exportAddressBook(const QStringList &arguments, const AppDir &appDir)
{
    if (arguments.size() != 2)
        return usage(QStringLiteral("--export-addresses には書き出し先のファイル名が要ります。"));
    AddressStore store(appDir);
    if (Status written = exportAddresses(store, arguments[1]); !written)
        return {kFailed, written.error()};
    return {0, QStringLiteral("アドレス帳を「%1」に書き出しました。").arg(arguments[1])};
}

} // namespace

bool isCommandLineRun(const QStringList &arguments)
{
    return !arguments.isEmpty() && arguments.first().startsWith(QStringLiteral("--"));
}

CommandOutcome runCommand(const QStringList &arguments, const AppDir &appDir)
{
    const QString command = arguments.value(0);
    if (command == QStringLiteral("--export-mbox"))
        return exportHistory(arguments, appDir);
    if (command == QStringLiteral("--import-mbox"))
        return importHistory(arguments, appDir);
    if (command == QStringLiteral("--export-addresses"))
        return exportAddressBook(arguments, appDir);
    return usage(QStringLiteral("「%1」は知らないオプションです。").arg(command));
}

} // namespace orv::exchange
