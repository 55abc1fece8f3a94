#include "transport/MailLibraryFactory.h"

#include "transport/NMailFacade.h"

#include <QFile>
#include <QSslCertificate>

namespace orv {

namespace {

// Certificate authorities trusted besides the system's: a PEM file named by
// ORVAINE_EXTRA_CA_CERTS, for private servers with their own authority (and for the
// test servers, which generate one per run).
QList<QSslCertificate> extraCertificateAuthorities()
{
    const QString path = qEnvironmentVariable("ORVAINE_EXTRA_CA_CERTS");
    if (path.isEmpty())
        return {};
    return QSslCertificate::fromPath(path, QSsl::Pem);
}

} // namespace

std::unique_ptr<MailLibrary>
createMailLibrary(std::function<std::pair<QString, QString>()> credentials)
{
    pop3::Options options;
    options.caCertificates = extraCertificateAuthorities();
    return std::make_unique<NMailFacade>(std::move(credentials), std::move(options));
}

} // namespace orv
