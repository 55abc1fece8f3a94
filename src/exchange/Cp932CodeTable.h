#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// What each code page 932 character becomes in the charsets an export writes, worked out once
// by the program's own decoder and the message writer's own ISO-2022-JP encoder, so a quick
// way through this table cannot disagree with them.
namespace orv::exchange {

enum class CodeKind : unsigned char {
    Ascii,
    Jis,    // has the same form in ISO-2022-JP for every reader
    NotJis, // goes in UTF-8
    Unusual // left to the careful way: not a character, or one the encoder treats oddly
};

// One code page 932 character: its ISO-2022-JP pair when it is Jis, and its UTF-8 bytes.
struct Code {
    CodeKind kind = CodeKind::Unusual;
    unsigned char utf8Size = 0;
    char jis[2] = {};
    char utf8[3] = {};
};

class CodeTable {
public:
    CodeTable();

    const Code &single(unsigned char byte) const { return m_single[byte]; }
    bool isLead(unsigned char byte) const { return m_lead[byte]; }
    const Code &pair(unsigned char lead, unsigned char trail) const
    {
        return m_pairs[size_t(lead) << 8 | trail];
    }

private:
    void fillSingle(unsigned char byte);
    void fillRow(unsigned char lead);
    void markJis(unsigned char lead, unsigned char trail, const char *jis);

    std::array<Code, 256> m_single{};
    std::array<bool, 256> m_lead{};
    std::vector<Code> m_pairs;
};

// The one table, built on first use.
const CodeTable &codeTable();

// The UTF-8 form of code page 932 bytes appended to `out`; false for a byte sequence the
// table leaves to the careful way.
bool appendUtf8(QByteArray &out, QByteArrayView cp932, const CodeTable &table);

// Code page 932 bytes as text; nothing for a byte sequence the table leaves to the careful way.
std::optional<QString> textOf(QByteArrayView cp932, const CodeTable &table);

} // namespace orv::exchange
