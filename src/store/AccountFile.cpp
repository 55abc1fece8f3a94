#include "store/AccountFile.h"

#include "core/ProfileFile.h"

namespace orv {

namespace {

const QString kSection = QStringLiteral("EXEINI");
const QString kUserIdKey = QStringLiteral("NAME");
const QString kPasswordKey = QStringLiteral("NAME2");
const QString kSavedKey = QStringLiteral("NAME3");

} // namespace

AccountFile::AccountFile(const AppDir &appDir)
    : m_path(appDir.resolve(QStringLiteral("\\★MailData\\iniIdPass.ini")))
{
}

AccountCredentials AccountFile::read() const
{
    const ProfileFile file(m_path);
    return {file.read(kSection, kUserIdKey), file.read(kSection, kPasswordKey)};
}

Status AccountFile::write(const QString &key, const QString &value) const
{
    return ProfileFile(m_path).write(kSection, key, value);
}

Status AccountFile::saveCredentials(const AccountCredentials &credentials) const
{
    for (const auto &[key, value] :
         {std::pair{kUserIdKey, credentials.userId}, std::pair{kPasswordKey, credentials.password},
          std::pair{kSavedKey, QStringLiteral("1")}}) {
        if (Status status = write(key, value); !status)
            return status;
    }
    return Status::success();
}

Status AccountFile::markNotSaved() const
{
    return write(kSavedKey, QStringLiteral("0"));
}

} // namespace orv
