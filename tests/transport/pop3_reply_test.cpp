#include "transport/pop3/Pop3Reply.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace orv::pop3 {
namespace {

using Result = ReplyParser::Result;
constexpr qsizetype kNoLimit = 1 << 30;

struct ReplyCase {
    const char *name;
    QByteArray bytes;
    bool multiLine;
    Result result;
    bool ok;
    QByteArray text;
    QByteArray block;
    qsizetype unstuffed;
};

class ReplyTable : public testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyTable, ParsesOneReply)
{
    const ReplyCase &c = GetParam();
    ReplyParser parser;
    parser.append(c.bytes);
    Reply reply;
    ASSERT_EQ(parser.take(c.multiLine, reply, kNoLimit), c.result);
    if (c.result != Result::Complete)
        return;
    EXPECT_EQ(reply.ok, c.ok);
    EXPECT_EQ(reply.text, c.text);
    EXPECT_EQ(reply.block, c.block);
    EXPECT_EQ(reply.unstuffedLines, c.unstuffed);
}

INSTANTIATE_TEST_SUITE_P(
    Pop3Reply, ReplyTable,
    testing::Values(
        ReplyCase{"positive", "+OK 2 messages\r\n", false, Result::Complete, true, "2 messages", "",
                  0},
        ReplyCase{"bare_positive", "+OK\r\n", false, Result::Complete, true, "", "", 0},
        ReplyCase{"negative", "-ERR [AUTH] failed\r\n", false, Result::Complete, false,
                  "[AUTH] failed", "", 0},
        ReplyCase{"negative_has_no_block", "-ERR no such message\r\n", true, Result::Complete,
                  false, "no such message", "", 0},
        ReplyCase{"block_unstuffed", "+OK\r\nSubject: x\r\n\r\n..dot line\r\n...\r\nend\r\n.\r\n",
                  true, Result::Complete, true, "", "Subject: x\r\n\r\n.dot line\r\n..\r\nend\r\n",
                  2},
        ReplyCase{"empty_block", "+OK 0 messages\r\n.\r\n", true, Result::Complete, true,
                  "0 messages", "", 0},
        ReplyCase{"bare_lf_line_ends", "+OK\nline\n.\n", true, Result::Complete, true, "",
                  "line\r\n", 0},
        ReplyCase{"status_without_line_end", "+OK still coming", false, Result::Incomplete, false,
                  "", "", 0},
        ReplyCase{"block_without_terminator", "+OK\r\nline\r\n", true, Result::Incomplete, false,
                  "", "", 0},
        ReplyCase{"dot_with_text_is_not_terminator", "+OK\r\n.x\r\n", true, Result::Incomplete,
                  false, "", "", 0},
        ReplyCase{"unknown_indicator", "* OK hello\r\n", false, Result::Garbled, false, "", "", 0},
        ReplyCase{"indicator_glued_to_word", "+OKAY\r\n", false, Result::Garbled, false, "", "", 0},
        ReplyCase{"lowercase_indicator", "+ok\r\n", false, Result::Garbled, false, "", "", 0}),
    [](const testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });

// Replies of pipelined commands arrive in arbitrary pieces; the result must not depend on
// where the network cut them.
TEST(Pop3Reply, PipelinedRepliesGiveTheSameResultInAnyChunking)
{
    const QByteArray stream = "+OK 12 octets\r\nA: b\r\n\r\n..x\r\n.\r\n"
                              "+OK deleted\r\n"
                              "-ERR no such message\r\n"
                              "+OK 3 octets\r\nyz\r\n.\r\n";
    const bool multiLine[] = {true, false, true, true};

    for (const qsizetype chunk : {qsizetype(1), qsizetype(2), qsizetype(5), stream.size()}) {
        SCOPED_TRACE(chunk);
        ReplyParser parser;
        QList<Reply> replies;
        qsizetype offset = 0;
        for (const bool isMulti : multiLine) {
            Reply reply;
            while (parser.take(isMulti, reply, kNoLimit) == Result::Incomplete) {
                ASSERT_LT(offset, stream.size());
                parser.append(
                    QByteArrayView(stream).sliced(offset, qMin(chunk, stream.size() - offset)));
                offset += chunk;
            }
            replies.append(reply);
        }
        ASSERT_EQ(replies.size(), 4);
        EXPECT_EQ(replies[0].block, "A: b\r\n\r\n.x\r\n");
        EXPECT_EQ(replies[1].text, "deleted");
        EXPECT_FALSE(replies[2].ok);
        EXPECT_EQ(replies[3].block, "yz\r\n");
        EXPECT_EQ(parser.pendingBytes(), 0);
    }
}

// Read from the connection a slice at a time, a large block holds the parser to a slice and
// a line, however much the connection has waiting, and comes out whole.
TEST(Pop3Reply, ASliceReadFromTheConnectionHoldsTheParserToASlice)
{
    QByteArray lines;
    for (int index = 0; lines.size() < 1024 * 1024; ++index)
        lines += "line " + QByteArray::number(index) + " of a long message\r\n";
    QByteArray waiting = "+OK\r\n" + lines + ".\r\n";
    QBuffer connection(&waiting);
    ASSERT_TRUE(connection.open(QIODevice::ReadOnly));

    constexpr qint64 kSlice = 4096;
    ReplyParser parser;
    Reply reply;
    qsizetype mostHeld = 0;
    while (parser.take(true, reply, kNoLimit) == Result::Incomplete) {
        ASSERT_GT(parser.readFrom(connection, kSlice), 0) << "the block ended early";
        mostHeld = qMax(mostHeld, parser.pendingBytes());
    }
    EXPECT_EQ(reply.block, lines);
    EXPECT_LE(mostHeld, kSlice + 64);
    EXPECT_EQ(parser.readFrom(connection, kSlice), 0) << "nothing more waiting";
    EXPECT_EQ(parser.pendingBytes(), 0);
}

// A hostile or broken server must not make the client buffer without bound.
TEST(Pop3Reply, EndlessInputIsGarbledNotBuffered)
{
    ReplyParser statusParser;
    Reply reply;
    statusParser.append(QByteArray(ReplyParser::kMaxStatusLine + 1, 'x'));
    EXPECT_EQ(statusParser.take(false, reply, kNoLimit), Result::Garbled);

    ReplyParser blockParser;
    blockParser.append("+OK\r\n");
    blockParser.append(QByteArray(100, 'y'));
    EXPECT_EQ(blockParser.take(true, reply, 64), Result::Garbled);
    EXPECT_EQ(blockParser.take(true, reply, kNoLimit), Result::Garbled) << "stays garbled";
}

} // namespace
} // namespace orv::pop3
