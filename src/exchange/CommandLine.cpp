#include "exchange/CommandLine.h"

#include "exchange/AddressCommand.h"
#include "exchange/AddressExchange.h"
#include "exchange/ExportTarget.h"
#include "exchange/HistoryExchange.h"
#include "exchange/ReceiveCommandLine.h"
#include "store/InstanceLock.h"
#include "store/Settings.h"

#include <functional>

namespace orv::exchange {

namespace {

const QString kUsageText =
    QStringLiteral("使い方:\n"
                   "  orvaine                                    ウィンドウを開きます\n"
                   "  orvaine --export-mbox received|sent FILE   履歴をmboxファイルに書き出します\n"
                   "  orvaine --import-mbox FILE                 "
                   "mbox/emlファイル(またはemlのフォルダ)を着信履歴に取り込みます\n"
                   "  orvaine --export-addresses FILE.csv|FILE.vcf  アドレス帳を書き出します\n"
                   "  orvaine --import-addresses FILE.csv|FILE.vcf  "
                   "CSV/vCardのアドレスをアドレス帳に取り込みます\n"
                   "  orvaine --receive [--quiet]                "
                   "ウィンドウを開かずにメールを一度受信します\n"
                   "                                             "
                   "(--quiet: 成功したときは何も表示しません)\n"
                   "  orvaine --help                             この説明を表示します\n"
                   "  orvaine --version                          版を表示します");

CommandOutcome usage(const QString &problem)
{
    return {kExitUsage, problem + QLatin1Char('\n') + kUsageText};
}

CommandOutcome exportHistory(const QStringList &operands, const AppDir &appDir)
{
    const QString &which = operands[0];
    if (which != QStringLiteral("received") && which != QStringLiteral("sent"))
        return usage(QStringLiteral("「%1」は received でも sent でもありません。").arg(which));
    const bool sent = which == QStringLiteral("sent");
    MailStore store = sent ? MailStore::SentStore(appDir) : MailStore::ReceivedStore(appDir);
    const ExportContext context{sent ? History::Sent : History::Received,
                                LoadSettings(appDir).mailAddress};
    if (Status target = checkExportTarget(appDir, operands[1], ExportShape::File); !target)
        return {kExitFailed, target.error()};
    const ExchangeResult result = exportMbox(store, context, operands[1]);
    if (!result.status)
        return {kExitFailed,
                result.status.error() +
                    QStringLiteral("\n書き出しを中止しました。ファイルは作っていません。")};
    return {0, QStringLiteral("%1 件のメールを「%2」に書き出しました。")
                   .arg(result.count)
                   .arg(operands[1])};
}

CommandOutcome importHistory(const QStringList &operands, const AppDir &appDir)
{
    ImportSources sources = importSources(operands[0]);
    if (!sources.status)
        return {kExitFailed, sources.status.error()};
    const ExchangeResult result = importMessages(appDir, sources);
    const QString report = importReport(result);
    if (!result.status)
        return {kExitFailed,
                result.status.error() + QStringLiteral("\n取り込みを中止しました。") + report};
    if (result.count == 0 && result.skipped.duplicates == 0)
        return {kExitFailed, report};
    return {0, report};
}

CommandOutcome exportAddressBook(const QStringList &operands, const AppDir &appDir)
{
    if (Status target = checkExportTarget(appDir, operands[0], ExportShape::File); !target)
        return {kExitFailed, target.error()};
    AddressStore store(appDir);
    if (Status written = exportAddresses(store, operands[0]); !written)
        return {kExitFailed, written.error()};
    return {0, QStringLiteral("アドレス帳を「%1」に書き出しました。").arg(operands[0])};
}

CommandOutcome version(const QStringList &, const AppDir &)
{
    return {0, QStringLiteral("Orvaine Mail %1").arg(QStringLiteral(ORVAINE_VERSION))};
}

CommandOutcome help(const QStringList &, const AppDir &)
{
    return {0, kUsageText};
}

struct Command {
    QString option;
    QString alias;
    int operands;
    QString operandsNeeded; // what the usage error says is missing
    bool writesStores;
    std::function<CommandOutcome(const QStringList &, const AppDir &)> run;
    // Options that change how this command runs. They may stand anywhere after the command
    // and reach `run` after its operands.
    QStringList switches = {};
};

const std::vector<Command> &commands()
{
    static const std::vector<Command> table = {
        {QStringLiteral("--export-mbox"),
         {},
         2,
         QStringLiteral("--export-mbox には received か sent と書き出し先のファイル名が要ります。"),
         false,
         exportHistory},
        {QStringLiteral("--import-mbox"),
         {},
         1,
         QStringLiteral("--import-mbox には取り込むファイル名が要ります。"),
         true,
         importHistory},
        {QStringLiteral("--export-addresses"),
         {},
         1,
         QStringLiteral("--export-addresses には書き出し先のファイル名が要ります。"),
         false,
         exportAddressBook},
        {QStringLiteral("--import-addresses"),
         {},
         1,
         QStringLiteral("--import-addresses には取り込む .csv か .vcf のファイル名が要ります。"),
         true,
         importAddressBookCommand},
        {QStringLiteral("--receive"), {}, 0, {}, true, receiveCommand, {kQuietSwitch}},
        {QStringLiteral("--help"), QStringLiteral("-h"), 0, {}, false, help},
        {QStringLiteral("--version"), {}, 0, {}, false, version},
    };
    return table;
}

const Command *findCommand(const QString &argument)
{
    for (const Command &command : commands())
        if (argument == command.option || (!command.alias.isEmpty() && argument == command.alias))
            return &command;
    return nullptr;
}

// The command that takes `argument` as one of its switches.
const Command *commandWithSwitch(const QString &argument)
{
    for (const Command &command : commands())
        if (command.switches.contains(argument))
            return &command;
    return nullptr;
}

CommandOutcome switchMisplaced(const QString &argument)
{
    return usage(QStringLiteral("%1 は %2 と一緒にだけ使えます。")
                     .arg(argument, commandWithSwitch(argument)->option));
}

CommandOutcome folderBusy()
{
    return {kExitFolderBusy,
            QStringLiteral(
                "このフォルダではOrvaineMailが起動しているか、別の処理が実行中です。"
                "何も書き込んでいません。\n"
                "ウィンドウを閉じるか処理が終わるのを待ってから、もう一度実行してください。")};
}

} // namespace

bool isCommandLineRun(const QStringList &arguments)
{
    return !arguments.isEmpty();
}

// A switch may also stand before its command ("--quiet --receive"): the command comes first.
QStringList commandFirst(const QStringList &arguments)
{
    qsizetype first = 0;
    while (first < arguments.size() && commandWithSwitch(arguments[first]))
        ++first;
    return arguments.mid(first) + arguments.mid(0, first);
}

CommandOutcome runCommand(const QStringList &givenArguments, const AppDir &appDir)
{
    const QStringList arguments = commandFirst(givenArguments);
    const Command *command = findCommand(arguments.value(0));
    if (!command) {
        if (commandWithSwitch(arguments.value(0)))
            return switchMisplaced(arguments.value(0));
        return usage(QStringLiteral("「%1」は知らないオプションです。").arg(arguments.value(0)));
    }
    QStringList operands;
    QStringList switches;
    for (const QString &operand : arguments.mid(1)) {
        if (findCommand(operand))
            return usage(QStringLiteral("一度に実行できるのは一つの処理だけです（%1 と %2）。")
                             .arg(command->option, operand));
        if (command->switches.contains(operand))
            switches.append(operand);
        else if (commandWithSwitch(operand))
            return switchMisplaced(operand);
        else
            operands.append(operand);
    }
    if (operands.size() < command->operands)
        return usage(command->operandsNeeded);
    if (operands.size() > command->operands)
        return usage(QStringLiteral("余分な引数があります: %1")
                         .arg(operands.mid(command->operands).join(QLatin1Char(' '))));
    InstanceLock lock(appDir);
    if (command->writesStores && lock.acquire() == InstanceLock::Outcome::HeldByAnotherCopy)
        return folderBusy();
    return command->run(operands + switches, appDir);
}

} // namespace orv::exchange
