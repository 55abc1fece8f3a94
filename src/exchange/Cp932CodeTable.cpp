#include "exchange/Cp932CodeTable.h"

#include "core/Cp932.h"
#include "transport/mime/Charsets.h"
#include "transport/mime/MailCharset.h"

#include <algorithm>
#include <cstring>

namespace orv::exchange {

namespace {

void setUtf8(Code &code, const QString &character)
{
    const QByteArray utf8 = character.toUtf8();
    code.utf8Size = static_cast<unsigned char>(utf8.size());
    std::memcpy(code.utf8, utf8.constData(), size_t(utf8.size()));
}

bool isPrivateUse(QChar c)
{
    return c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF;
}

std::vector<unsigned char> trails()
{
    std::vector<unsigned char> all;
    for (int trail = 0x40; trail <= 0xFC; ++trail)
        if (trail != 0x7F)
            all.push_back(static_cast<unsigned char>(trail));
    return all;
}

// The JIS pair of one character written alone: "ESC $ B", two bytes, "ESC ( B".
bool isOnePair(const QByteArray &jis, qsizetype pairs)
{
    return jis.size() == 2 * pairs + 6 && jis.startsWith("\x1B$B") && jis.endsWith("\x1B(B") &&
           !jis.mid(3, 2 * pairs).contains('\x1B');
}

} // namespace

CodeTable::CodeTable() : m_pairs(size_t(1) << 16)
{
    for (int byte = 0; byte < 0x100; ++byte)
        m_lead[byte] = cp932::isLeadByte(static_cast<unsigned char>(byte));
    for (int byte = 0; byte < 0x100; ++byte)
        if (!m_lead[byte])
            fillSingle(static_cast<unsigned char>(byte));
    for (int lead = 0x81; lead < 0x100; ++lead)
        if (m_lead[lead])
            fillRow(static_cast<unsigned char>(lead));
}

void CodeTable::fillSingle(unsigned char byte)
{
    const char bytes[1] = {static_cast<char>(byte)};
    const QString text = cp932::decode(bytes, 1);
    if (text.size() != 1 || text[0] == QChar::ReplacementCharacter ||
        (byte < 0x80 && text[0].unicode() != byte))
        return;
    m_single[byte].kind = byte < 0x80 ? CodeKind::Ascii : CodeKind::NotJis;
    setUtf8(m_single[byte], text);
}

// One row at once: the decoder and the encoder run once a row unless a row holds a character
// either refuses.
void CodeTable::fillRow(unsigned char lead)
{
    const std::vector<unsigned char> row = trails();
    QByteArray bytes;
    for (unsigned char trail : row)
        bytes.append(static_cast<char>(lead)).append(static_cast<char>(trail));
    const QString text = cp932::decode(bytes);
    const bool whole =
        text.size() == qsizetype(row.size()) && !text.contains(QChar::ReplacementCharacter) &&
        std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
    QString jisCandidates;
    std::vector<unsigned char> candidateTrails;
    for (size_t i = 0; i < row.size(); ++i) {
        const QString character =
            whole ? QString(text[qsizetype(i)]) : cp932::decode(bytes.constData() + 2 * i, 2);
        if (character.size() != 1 || character[0] == QChar::ReplacementCharacter ||
            character[0].isSurrogate() || character[0].unicode() < 0x80)
            continue;
        Code &code = m_pairs[size_t(lead) << 8 | row[i]];
        code.kind = CodeKind::NotJis;
        setUtf8(code, character);
        if (!mime::hasWindowsForms(character) && !isPrivateUse(character[0])) {
            jisCandidates += character;
            candidateTrails.push_back(row[i]);
        }
    }
    if (candidateTrails.empty())
        return;
    const std::optional<QByteArray> jis = mime::charsets::encodeIso2022Jp(jisCandidates);
    if (jis && isOnePair(*jis, qsizetype(candidateTrails.size()))) {
        for (size_t i = 0; i < candidateTrails.size(); ++i)
            markJis(lead, candidateTrails[i], jis->constData() + 3 + 2 * i);
        return;
    }
    for (size_t i = 0; i < candidateTrails.size(); ++i) {
        const std::optional<QByteArray> one =
            mime::charsets::encodeIso2022Jp(QString(jisCandidates[qsizetype(i)]));
        if (!one)
            continue;
        if (isOnePair(*one, 1))
            markJis(lead, candidateTrails[i], one->constData() + 3);
        else
            m_pairs[size_t(lead) << 8 | candidateTrails[i]].kind = CodeKind::Unusual;
    }
}

void CodeTable::markJis(unsigned char lead, unsigned char trail, const char *jis)
{
    Code &code = m_pairs[size_t(lead) << 8 | trail];
    code.kind = CodeKind::Jis;
    code.jis[0] = jis[0];
    code.jis[1] = jis[1];
}

const CodeTable &codeTable()
{
    static const CodeTable table;
    return table;
}

bool appendUtf8(QByteArray &out, QByteArrayView cp932, const CodeTable &table)
{
    const auto *at = reinterpret_cast<const unsigned char *>(cp932.data());
    const auto *end = at + cp932.size();
    while (at < end) {
        const Code *code = &table.single(*at);
        if (table.isLead(*at)) {
            if (end - at < 2)
                return false;
            code = &table.pair(at[0], at[1]);
            at += 2;
        } else {
            ++at;
        }
        if (code->kind == CodeKind::Unusual)
            return false;
        out.append(code->utf8, code->utf8Size);
    }
    return true;
}

std::optional<QString> textOf(QByteArrayView cp932, const CodeTable &table)
{
    QByteArray utf8;
    utf8.reserve(cp932.size() * 3 / 2);
    if (!appendUtf8(utf8, cp932, table))
        return std::nullopt;
    return QString::fromUtf8(utf8);
}

} // namespace orv::exchange
