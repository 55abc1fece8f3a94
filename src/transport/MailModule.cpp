#include "transport/MailModule.h"

#include <QCoreApplication>
#include <QLibrary>

#include <atomic>

namespace orv {

namespace {

const QString kModuleFile = QStringLiteral("orvaine-mail.so");

std::atomic<const MailModule *> linkedModule = nullptr;

struct LoadedModule {
    const MailModule *module = nullptr;
    QString error;
};

LoadedModule load()
{
    // Never unloaded: the mail library it made lives until the program ends.
    static QLibrary library(QCoreApplication::applicationDirPath() + u'/' + kModuleFile);
    using Entry = const MailModule *(*)();
    const auto entry = reinterpret_cast<Entry>(library.resolve("orvaineMailModule"));
    if (!entry)
        return {nullptr,
                QStringLiteral("メールの送受信に使うライブラリ（%1）を読み込めませんでした。"
                               "プログラムのフォルダーにあるか確かめてください。")
                    .arg(kModuleFile)};
    const MailModule *module = entry();
    if (!module || module->version != kMailModuleVersion)
        return {nullptr,
                QStringLiteral("メールの送受信に使うライブラリ（%1）がこのプログラムと合いません。"
                               "プログラムを入れ直してください。")
                    .arg(kModuleFile)};
    return {module, QString()};
}

} // namespace

const MailModule *mailModule(QString *error)
{
    if (const MailModule *linked = linkedModule.load())
        return linked;
    static const LoadedModule loaded = load();
    if (!loaded.module && error)
        *error = loaded.error;
    return loaded.module;
}

void useLinkedMailModule(const MailModule *module)
{
    linkedModule.store(module);
}

} // namespace orv
