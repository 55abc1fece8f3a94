// libFuzzer target for the POP3 reply parser: arbitrary server bytes, cut into arbitrary
// pieces, read as an arbitrary sequence of single- and multi-line replies.
#include "transport/pop3/Pop3Reply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte chooses the chunk size, the second which replies expect a block.
    const size_t chunk = 1 + data[0] % 64;
    const uint8_t multiLineMask = data[1];
    const QByteArrayView stream(reinterpret_cast<const char *>(data) + 2, qsizetype(size - 2));
    constexpr qsizetype kBlockLimit = 4096;

    orv::pop3::ReplyParser parser;
    int replyIndex = 0;
    bool garbled = false;
    for (qsizetype offset = 0; offset < stream.size(); offset += qsizetype(chunk)) {
        parser.append(stream.sliced(offset, qMin(qsizetype(chunk), stream.size() - offset)));
        for (;;) {
            orv::pop3::Reply reply;
            const bool multiLine = (multiLineMask >> (replyIndex % 8)) & 1;
            const auto result = parser.take(multiLine, reply, kBlockLimit);
            if (result == orv::pop3::ReplyParser::Result::Incomplete)
                break;
            if (result == orv::pop3::ReplyParser::Result::Garbled) {
                garbled = true;
                break;
            }
            if (reply.block.size() > kBlockLimit || (!multiLine && !reply.block.isEmpty()))
                std::abort();
            if (!reply.ok && !reply.block.isEmpty())
                std::abort();
            ++replyIndex;
        }
        if (garbled)
            break;
    }
    if (parser.pendingBytes() < 0)
        std::abort();
    return 0;
}
