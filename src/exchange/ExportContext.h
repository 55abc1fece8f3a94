#pragma once

#include <QString>

namespace orv::exchange {

enum class History { Received, Sent };

struct ExportContext {
    History history = History::Received;
    // The user's own address from the settings: the sender of sent mail, the recipient of
    // received mail. May be empty.
    QString ownAddress;
};

} // namespace orv::exchange
