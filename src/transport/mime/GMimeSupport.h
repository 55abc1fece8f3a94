#pragma once

// Qt defines "signals" as a keyword, which GLib uses as a field name.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include <QByteArray>

#include <memory>

namespace orv::mime {

// GMime must be initialised once before any of its objects is made.
void ensureGMimeInitialised();

struct GObjectUnref {
    void operator()(void *object) const
    {
        if (object)
            g_object_unref(object);
    }
};

// An owned reference to a GMime object.
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Everything written into a memory stream.
QByteArray memoryStreamBytes(GMimeStream *memoryStream);

// The header's value as it stands in the message (folded, undecoded); empty when absent.
QByteArray rawHeaderValue(GMimeObject *object, const char *name);

} // namespace orv::mime
