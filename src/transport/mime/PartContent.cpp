#include "transport/mime/PartContent.h"

#include "transport/mime/HeaderText.h"

#include <algorithm>
#include <limits>

namespace orv::mime {

namespace {

constexpr qsizetype kReadChunk = 64 * 1024;

// Reads up to `limit` bytes, and one more to learn whether the stream ends there.
ContentPrefix readPrefix(GMimeStream *stream, qsizetype limit)
{
    ContentPrefix prefix;
    const qsizetype wanted = limit < std::numeric_limits<qsizetype>::max() ? limit + 1 : limit;
    while (prefix.bytes.size() < wanted) {
        const qsizetype before = prefix.bytes.size();
        const qsizetype chunk = std::min(kReadChunk, wanted - before);
        if (prefix.bytes.capacity() < before + chunk)
            prefix.bytes.reserve(std::max(prefix.bytes.capacity() * 2, before + chunk));
        prefix.bytes.resize(before + chunk);
        const ssize_t got =
            g_mime_stream_read(stream, prefix.bytes.data() + before, static_cast<size_t>(chunk));
        prefix.bytes.resize(before + std::max<ssize_t>(got, 0));
        if (got <= 0)
            break;
    }
    prefix.complete = prefix.bytes.size() <= limit;
    if (!prefix.complete)
        prefix.bytes.truncate(limit);
    return prefix;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Where a soft line break that starts at the "=" at `equals` ends (after its line feed),
// or -1 when that "=" is not one: only blanks may stand between it and the line end.
qsizetype softBreakEnd(QByteArrayView encoded, qsizetype equals)
{
    qsizetype i = equals + 1;
    while (i < encoded.size() && isBlank(encoded[i]))
        ++i;
    if (i == encoded.size())
        return i;
    if (encoded[i] == '\n')
        return i + 1;
    if (encoded[i] == '\r' && (i + 1 == encoded.size() || encoded[i + 1] == '\n'))
        return std::min(i + 2, encoded.size());
    return -1;
}

} // namespace

QByteArray quotedPrintableDecoded(QByteArrayView encoded)
{
    QByteArray out;
    out.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size();) {
        const char c = encoded[i];
        if (c != '=') {
            out += c;
            ++i;
            continue;
        }
        if (const qsizetype end = softBreakEnd(encoded, i); end >= 0) {
            i = end;
            continue;
        }
        const bool escape = i + 2 < encoded.size();
        const int high = escape ? headers::hexValue(encoded[i + 1]) : -1;
        const int low = escape ? headers::hexValue(encoded[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 3;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QByteArrayView untilLastLineEnd(QByteArrayView bytes)
{
    const qsizetype lineFeed = bytes.lastIndexOf('\n');
    return lineFeed < 0 ? bytes : bytes.first(lineFeed + 1);
}

namespace {

// A part's content as stored in the message, read from its start.
GMimeStream *encodedStream(GMimePart *part, GMimeContentEncoding *encoding)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    GMimeStream *raw = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
    if (!raw)
        return nullptr;
    *encoding = g_mime_data_wrapper_get_encoding(content);
    g_mime_stream_reset(raw);
    return raw;
}

// The content decoded as it is read; quoted-printable is decoded by the caller, as GMime
// keeps "= " before a line end as text where the blanks are the transport's.
GObjectPtr<GMimeStream> decodingStream(GMimeStream *raw, GMimeContentEncoding encoding)
{
    GObjectPtr<GMimeStream> filtered(g_mime_stream_filter_new(raw));
    if (encoding == GMIME_CONTENT_ENCODING_BASE64 || encoding == GMIME_CONTENT_ENCODING_UUENCODE) {
        GObjectPtr<GMimeFilter> decoder(g_mime_filter_basic_new(encoding, FALSE));
        g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), decoder.get());
    }
    return filtered;
}

} // namespace

ContentPrefix decodedContentPrefix(GMimePart *part, qsizetype limit)
{
    GMimeContentEncoding encoding = GMIME_CONTENT_ENCODING_DEFAULT;
    GMimeStream *raw = encodedStream(part, &encoding);
    if (!raw)
        return {{}, true};
    if (encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE) {
        const ContentPrefix encoded = readPrefix(raw, limit);
        return {quotedPrintableDecoded(encoded.complete ? QByteArrayView(encoded.bytes)
                                                        : untilLastLineEnd(encoded.bytes)),
                encoded.complete};
    }
    return readPrefix(decodingStream(raw, encoding).get(), limit);
}

bool writeDecodedContent(GMimePart *part, QIODevice &out)
{
    GMimeContentEncoding encoding = GMIME_CONTENT_ENCODING_DEFAULT;
    GMimeStream *raw = encodedStream(part, &encoding);
    if (!raw)
        return true;
    if (encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE) {
        const QByteArray bytes = decodedContent(part);
        return out.write(bytes) == bytes.size();
    }
    const GObjectPtr<GMimeStream> decoded = decodingStream(raw, encoding);
    QByteArray chunk(kReadChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = g_mime_stream_read(decoded.get(), chunk.data(), chunk.size());
        if (got <= 0)
            return got == 0 || g_mime_stream_eos(decoded.get());
        if (out.write(chunk.constData(), got) != got)
            return false;
    }
}

QByteArray decodedContent(GMimePart *part)
{
    return decodedContentPrefix(part, std::numeric_limits<qsizetype>::max()).bytes;
}

} // namespace orv::mime
