#include "transport/mime/GMimeSupport.h"

#include <mutex>

namespace orv::mime {

void ensureGMimeInitialised()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

QByteArray memoryStreamBytes(GMimeStream *memoryStream)
{
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memoryStream));
    return QByteArray(reinterpret_cast<const char *>(bytes->data),
                      static_cast<qsizetype>(bytes->len));
}

QByteArray rawHeaderValue(GMimeObject *object, const char *name)
{
    GMimeHeaderList *list = g_mime_object_get_header_list(object);
    GMimeHeader *header = list ? g_mime_header_list_get_header(list, name) : nullptr;
    const char *raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    return raw ? QByteArray(raw) : QByteArray();
}

} // namespace orv::mime
