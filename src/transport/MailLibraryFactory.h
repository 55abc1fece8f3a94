#pragma once

#include <memory>

namespace orv {

class MailLibrary;

// The mail library the running program uses.
std::unique_ptr<MailLibrary> createMailLibrary();

} // namespace orv
