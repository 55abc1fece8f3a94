#pragma once

#include "transport/MailLibrary.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>

namespace orv {

// The mail library's code that talks to servers and reads MIME needs Qt Network, GMime and
// a score of libraries behind them. It is a module of its own beside the program
// (orvaine-mail.so), loaded at the first receive, send or import, so that a start that only
// shows the main window maps none of them.
struct MailModule {
    using Credentials = std::function<std::pair<QString, QString>()>;

    static constexpr int kVersion = 1;
    // The module is built with the program; one from another build is refused.
    int version = kVersion;
    std::unique_ptr<MailLibrary> (*createMailLibrary)(Credentials credentials);
    // What mime::expandMessage does (transport/mime/MessageDecoder.h).
    int (*expandMessage)(const QByteArray &rawMessage, const QString &attachmentFolder,
                         MailHeaderFields &fields, QString &body, QString *error,
                         const MailHeaderFields *decodedFields, QStringList *writtenFiles);
};

// The module, loaded on the first call from the program's folder; null when it cannot be
// loaded, with a sentence for the user in `error`.
const MailModule *mailModule(QString *error = nullptr);

// A program that has the module's code linked in (the tests) uses that; null goes back to
// loading the module from the program's folder.
void useLinkedMailModule(const MailModule *module);

// The module's own table: defined in the module, and in every program that links it in.
const MailModule &mailModuleTable();

} // namespace orv
