#include "store/Settings.h"

#include "core/Cp932.h"
#include "core/TextFile.h"

#include <QFile>

#include <cmath>
#include <limits>

namespace orv {

namespace {

constexpr qsizetype kKeyLength = 5;
constexpr qsizetype kValueLength = 100;

// The longest prefix of `text` (after leading blanks) that reads as a decimal number.
double leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80)
        ++i;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80)
            ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && text[digitsStart] == u'.'))
        return 0;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0;
}

} // namespace

qint16 parseApopValue(const QString &text)
{
    const double rounded = std::nearbyint(leadingNumber(text)); // the default mode: halves to even
    constexpr double low = std::numeric_limits<qint16>::min();
    constexpr double high = std::numeric_limits<qint16>::max();
    return static_cast<qint16>(std::clamp(rounded, low, high));
}

ServerSettings parseSettings(const QString &text)
{
    ServerSettings settings;
    for (const QString &line : splitLines(text)) {
        const QString key = line.left(kKeyLength);
        const QString value = line.mid(kKeyLength, kValueLength);
        if (key == u"SMTP=")
            settings.smtpServer = value;
        else if (key == u"POP3=")
            settings.pop3Server = value;
        else if (key == u"MAIL=")
            settings.mailAddress = value;
        else if (key == u"APOP=")
            settings.apop = parseApopValue(value);
    }
    return settings;
}

QByteArray formatSettings(const ServerSettings &settings)
{
    const QString text = QStringLiteral("SMTP=") + settings.smtpServer + QStringLiteral("\r\n") +
                         QStringLiteral("POP3=") + settings.pop3Server + QStringLiteral("\r\n") +
                         QStringLiteral("MAIL=") + settings.mailAddress + QStringLiteral("\r\n") +
                         QStringLiteral("APOP=") + QString::number(settings.apop) +
                         QStringLiteral("\r\n");
    return cp932::encode(text);
}

ServerSettings LoadSettings(const AppDir &appDir)
{
    QFile file(appDir.resolve(kSettingsFile));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseSettings(cp932::decode(file.readAll()));
}

Status SaveSettings(const AppDir &appDir, const ServerSettings &settings)
{
    return writeFileAtomically(appDir.resolve(kSettingsFile), formatSettings(settings));
}

} // namespace orv
