#include "transport/mime/ByteArrayStream.h"

#include <QtGlobal>

#include <cerrno>
#include <cstring>

namespace orv::mime {
namespace {

struct SharedBytesStream {
    GMimeStream parent;
    // A pointer: GLib allocates the instance and knows nothing of C++ constructors.
    QByteArray *bytes;
};

struct SharedBytesStreamClass {
    GMimeStreamClass parent;
};

GType sharedBytesStreamType();

SharedBytesStream *asShared(GMimeStream *stream)
{
    return reinterpret_cast<SharedBytesStream *>(stream);
}

gint64 boundEnd(GMimeStream *stream)
{
    return stream->bound_end != -1 ? stream->bound_end : gint64(asShared(stream)->bytes->size());
}

ssize_t readBytes(GMimeStream *stream, char *buffer, size_t length)
{
    const gint64 available = boundEnd(stream) - stream->position;
    const gint64 count = qMin<gint64>(available, gint64(length));
    if (count <= 0)
        return 0;
    std::memcpy(buffer, asShared(stream)->bytes->constData() + stream->position, size_t(count));
    stream->position += count;
    return ssize_t(count);
}

ssize_t refuseWrite(GMimeStream *, const char *, size_t)
{
    errno = EBADF;
    return -1;
}

int nothingToDo(GMimeStream *)
{
    return 0;
}

gboolean atEnd(GMimeStream *stream)
{
    return stream->position >= boundEnd(stream);
}

int backToStart(GMimeStream *stream)
{
    stream->position = stream->bound_start;
    return 0;
}

gint64 seekTo(GMimeStream *stream, gint64 offset, GMimeSeekWhence whence)
{
    gint64 target = offset;
    if (whence == GMIME_STREAM_SEEK_CUR)
        target = stream->position + offset;
    else if (whence == GMIME_STREAM_SEEK_END)
        target = boundEnd(stream) + offset;
    if (target < stream->bound_start || target > boundEnd(stream)) {
        errno = EINVAL;
        return -1;
    }
    stream->position = target;
    return target;
}

gint64 currentPosition(GMimeStream *stream)
{
    return stream->position;
}

gint64 boundedLength(GMimeStream *stream)
{
    return boundEnd(stream) - stream->bound_start;
}

GMimeStream *newStream(const QByteArray &bytes, gint64 start, gint64 end)
{
    auto *stream = static_cast<SharedBytesStream *>(g_object_new(sharedBytesStreamType(), nullptr));
    stream->bytes = new QByteArray(bytes);
    g_mime_stream_construct(&stream->parent, start, end);
    return &stream->parent;
}

GMimeStream *substream(GMimeStream *stream, gint64 start, gint64 end)
{
    return newStream(*asShared(stream)->bytes, start, end);
}

GObjectClass *parentClass = nullptr;

void finalize(GObject *object)
{
    delete reinterpret_cast<SharedBytesStream *>(object)->bytes;
    parentClass->finalize(object);
}

void initClass(gpointer klass, gpointer)
{
    parentClass = G_OBJECT_CLASS(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = finalize;
    GMimeStreamClass *streamClass = GMIME_STREAM_CLASS(klass);
    streamClass->read = readBytes;
    streamClass->write = refuseWrite;
    streamClass->flush = nothingToDo;
    streamClass->close = nothingToDo;
    streamClass->eos = atEnd;
    streamClass->reset = backToStart;
    streamClass->seek = seekTo;
    streamClass->tell = currentPosition;
    streamClass->length = boundedLength;
    streamClass->substream = substream;
}

GType sharedBytesStreamType()
{
    static const GType type = [] {
        const GTypeInfo info = {
            sizeof(SharedBytesStreamClass), nullptr, nullptr, initClass, nullptr, nullptr,
            sizeof(SharedBytesStream),      0,       nullptr, nullptr};
        return g_type_register_static(GMIME_TYPE_STREAM, "OrvSharedBytesStream", &info,
                                      GTypeFlags(0));
    }();
    return type;
}

} // namespace

GObjectPtr<GMimeStream> byteArrayStream(const QByteArray &bytes)
{
    ensureGMimeInitialised();
    return GObjectPtr<GMimeStream>(newStream(bytes, 0, -1));
}

} // namespace orv::mime
