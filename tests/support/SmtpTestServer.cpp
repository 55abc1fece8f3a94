#include "support/SmtpTestServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace orv::test {

namespace {

QString variable(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> wireLogLines(const QString &path)
{
    QList<QByteArray> lines = readAll(path).split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

QStringList storedRecords(const QString &spool)
{
    QStringList names = QDir(spool).entryList({QStringLiteral("*.json")}, QDir::Files);
    names.sort();
    return names;
}

} // namespace

std::optional<SmtpTestServer> SmtpTestServer::fromEnvironment()
{
    SmtpTestServer server;
    server.m_host = variable("ORV_SMTP_HOST");
    server.m_port = variable("ORV_SMTP_PORT").toInt();
    server.m_startTlsPort = variable("ORV_SMTP_STARTTLS_PORT").toUShort();
    server.m_tlsPort = variable("ORV_SMTP_TLS_PORT").toUShort();
    server.m_startTlsRefusedPort = variable("ORV_SMTP_STARTTLS_REFUSED_PORT").toUShort();
    server.m_caFile = variable("ORV_SMTP_CA");
    server.m_untrustedCaFile = variable("ORV_SMTP_UNTRUSTED_CA");
    server.m_user = variable("ORV_SMTP_USER");
    server.m_password = variable("ORV_SMTP_PASSWORD");
    server.m_rejected = variable("ORV_SMTP_REJECTED");
    server.m_temporary = variable("ORV_SMTP_TEMPORARY");
    server.m_spool = variable("ORV_SMTP_SPOOL");
    server.m_wireLog = variable("ORV_SMTP_WIRE_LOG");
    if (server.m_host.isEmpty() || server.m_port <= 0 || server.m_spool.isEmpty()) {
        ADD_FAILURE()
            << "The SMTP test server is not running: run the tests through scripts/test.sh "
               "(or start scripts/peers/smtp.sh and source its smtp.env).";
        return std::nullopt;
    }
    return server;
}

int SmtpTestServer::messageCount() const
{
    return static_cast<int>(storedRecords(m_spool).size());
}

QList<ReceivedMail> SmtpTestServer::messagesSince(int count) const
{
    QList<ReceivedMail> mails;
    for (const QString &name : storedRecords(m_spool).mid(count)) {
        const QString base = m_spool + u'/' + name.chopped(5);
        const QJsonObject record =
            QJsonDocument::fromJson(readAll(base + QStringLiteral(".json"))).object();
        ReceivedMail mail;
        mail.data = readAll(base + QStringLiteral(".eml"));
        mail.mailFrom = record.value(u"mail_from").toString();
        for (const QJsonValue &recipient : record.value(u"rcpt_tos").toArray())
            mail.recipients.append(recipient.toString());
        mail.login = record.value(u"login").toString();
        mail.clientPort = record.value(u"client_port").toInt();
        mail.encrypted = record.value(u"tls").toBool();
        mails.append(mail);
    }
    return mails;
}

int SmtpTestServer::wireLineCount() const
{
    return static_cast<int>(wireLogLines(m_wireLog).size());
}

QList<WireLine> SmtpTestServer::wireLinesSince(int count) const
{
    QList<WireLine> lines;
    for (const QByteArray &json : wireLogLines(m_wireLog).mid(count)) {
        const QJsonObject record = QJsonDocument::fromJson(json).object();
        lines.append({static_cast<quint16>(record.value(u"port").toInt()),
                      record.value(u"tls").toBool(), record.value(u"line").toString().toLatin1()});
    }
    return lines;
}

} // namespace orv::test
