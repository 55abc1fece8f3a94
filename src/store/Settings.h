#pragma once

#include "core/AppDir.h"
#include "core/Status.h"

#include <QByteArray>
#include <QString>

namespace orv {

// The server settings as "\korvel.ini" holds them.
struct ServerSettings {
    QString smtpServer;
    QString pop3Server;
    QString mailAddress;
    qint16 apop = 0;

    bool operator==(const ServerSettings &) const = default;
};

inline const QString kSettingsFile = QStringLiteral("\\korvel.ini");

// The settings file's text rules, apart from the file itself.
ServerSettings parseSettings(const QString &text);
QByteArray formatSettings(const ServerSettings &settings);

// "APOP=" values: a leading decimal number, rounded to a whole number with halves to
// even; text that does not begin with a number gives 0.
qint16 parseApopValue(const QString &text);

// Reads "\korvel.ini"; an absent file leaves every setting empty.
ServerSettings LoadSettings(const AppDir &appDir);
// Writes "\korvel.ini" whole and atomically.
Status SaveSettings(const AppDir &appDir, const ServerSettings &settings);

} // namespace orv
