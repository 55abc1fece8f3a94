#include "support/Pop3TestServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace orv::test {

namespace {

QString requiredVariable(const char *name, QStringList &missing)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        missing.append(QString::fromLatin1(name));
    return value;
}

// Dovecot's mail processes run as nobody and must own what they read and delete.
void giveToMailUser(const QString &path)
{
    if (const passwd *nobody = getpwnam("nobody"))
        (void)!chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid);
}

QStringList messageFiles(const QString &maildir)
{
    QStringList files;
    for (const char *sub : {"cur", "new"}) {
        const QDir dir(maildir + u'/' + QLatin1String(sub));
        for (const QString &name : dir.entryList(QDir::Files))
            files.append(dir.filePath(name));
    }
    // Delivery names start with a zero-padded sequence, so name order is delivery order.
    std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
        return QFileInfo(a).fileName() < QFileInfo(b).fileName();
    });
    return files;
}

QByteArray withLfLineEnds(QByteArray message)
{
    return message.replace("\r\n", "\n");
}

QByteArray withCrLfLineEnds(const QByteArray &message)
{
    return withLfLineEnds(message).replace("\n", "\r\n");
}

} // namespace

std::optional<Pop3TestServer> Pop3TestServer::fromEnvironment(QString *problem)
{
    QStringList missing;
    Pop3TestServer server;
    server.m_host = requiredVariable("POP3_HOST", missing);
    server.m_plainPort = quint16(requiredVariable("POP3_PORT", missing).toUInt());
    server.m_tlsPort = quint16(requiredVariable("POP3S_PORT", missing).toUInt());
    server.m_user = requiredVariable("POP3_USER", missing);
    server.m_password = requiredVariable("POP3_PASSWORD", missing);
    server.m_mailRoot = requiredVariable("POP3_MAIL_ROOT", missing);
    server.m_caFile = requiredVariable("POP3_CA_FILE", missing);
    server.m_untrustedCaFile = requiredVariable("POP3_UNTRUSTED_CA_FILE", missing);
    if (!missing.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("POP3 test server variables missing: ") +
                       missing.join(QStringLiteral(", "));
        return std::nullopt;
    }
    return server;
}

Pop3TestServer Pop3TestServer::forUser(const QString &user) const
{
    Pop3TestServer other = *this;
    other.m_user = user;
    return other;
}

QList<QSslCertificate> Pop3TestServer::trustedCertificates() const
{
    return QSslCertificate::fromPath(m_caFile, QSsl::Pem);
}

QList<QSslCertificate> Pop3TestServer::untrustedCertificates() const
{
    return QSslCertificate::fromPath(m_untrustedCaFile, QSsl::Pem);
}

QString Pop3TestServer::plainServer() const
{
    return m_host + u':' + QString::number(m_plainPort);
}

QString Pop3TestServer::tlsServer() const
{
    return QStringLiteral("pop3s://") + m_host + u':' + QString::number(m_tlsPort);
}

QString Pop3TestServer::maildir() const
{
    return m_mailRoot + u'/' + m_user + QStringLiteral("/Maildir");
}

void Pop3TestServer::clear() const
{
    for (const QString &file : messageFiles(maildir()))
        QFile::remove(file);
}

void Pop3TestServer::deliver(const QByteArray &message) const
{
    static std::atomic<int> sequence{0};
    const QString name = QStringLiteral("%1.M%2P%3.orvtest")
                             .arg(QDateTime::currentSecsSinceEpoch())
                             .arg(sequence++, 9, 10, QChar(u'0'))
                             .arg(getpid());
    const QString temporary = maildir() + QStringLiteral("/tmp/") + name;
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly) || file.write(withLfLineEnds(message)) < 0)
        qFatal("cannot write into the test Maildir %s", qPrintable(temporary));
    file.close();
    giveToMailUser(temporary);
    QFile::rename(temporary, maildir() + QStringLiteral("/new/") + name);
}

QList<QByteArray> Pop3TestServer::messages() const
{
    QList<QByteArray> result;
    for (const QString &path : messageFiles(maildir())) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            result.append(withCrLfLineEnds(file.readAll()));
    }
    return result;
}

QString runThroughTestScript(const QString &problem)
{
    return problem +
           QStringLiteral(". Run the tests through scripts/test.sh, which starts the test "
                          "servers (or start scripts/peers/pop3.sh yourself and source pop3.env).");
}

} // namespace orv::test
