#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <utility>

namespace orv {

class MailLibrary;

// The mail library the running program uses. `credentials` gives the account's user ID and
// password when an SMTP server asks for authentication.
std::unique_ptr<MailLibrary>
createMailLibrary(std::function<std::pair<QString, QString>()> credentials);

} // namespace orv
