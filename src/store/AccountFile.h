#pragma once

#include "core/AppDir.h"
#include "core/Status.h"

#include <QString>

namespace orv {

struct AccountCredentials {
    QString userId;
    QString password;
};

// The account file "\★MailData\iniIdPass.ini", section "EXEINI": "NAME" holds the user ID,
// "NAME2" the password, "NAME3" whether the user last confirmed with the save box checked.
class AccountFile {
public:
    explicit AccountFile(const AppDir &appDir);

    AccountCredentials read() const;
    // Writes "NAME", "NAME2" and "NAME3" = "1", in this order.
    Status saveCredentials(const AccountCredentials &credentials) const;
    // Writes "NAME3" = "0" only; a saved ID and password stay.
    Status markNotSaved() const;

private:
    Status write(const QString &key, const QString &value) const;

    QString m_path;
};

} // namespace orv
