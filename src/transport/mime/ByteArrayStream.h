#pragma once

#include "transport/mime/GMimeSupport.h"

#include <QByteArray>

namespace orv::mime {

// A read-only GMime stream over a QByteArray that it shares instead of copying. GMime's own
// memory stream copies what it is given, and a parser keeps the parts of a message as
// windows into its stream: over this stream a message of hundreds of megabytes is held
// once, not twice. The stream and every part taken from it keep the bytes alive.
GObjectPtr<GMimeStream> byteArrayStream(const QByteArray &bytes);

} // namespace orv::mime
