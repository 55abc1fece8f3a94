#include "exchange/MailFilter.h"

#include "core/Cp932.h"

#include <cstring>

namespace orv::exchange {

namespace {

// The folded unit of the character at `at` and its length in bytes.
inline std::uint16_t unitAt(const unsigned char *at, const unsigned char *end, int *length)
{
    const unsigned char lead = *at;
    if (!cp932::isLeadByte(lead) || at + 1 >= end) {
        *length = 1;
        return lead >= 'A' && lead <= 'Z' ? lead + ('a' - 'A') : lead;
    }
    *length = 2;
    const unsigned char trail = at[1];
    if (lead == 0x82) {
        if (trail >= 0x4F && trail <= 0x58) // ０-９
            return '0' + (trail - 0x4F);
        if (trail >= 0x60 && trail <= 0x79) // Ａ-Ｚ
            return 'a' + (trail - 0x60);
        if (trail >= 0x81 && trail <= 0x9A) // ａ-ｚ
            return 'a' + (trail - 0x81);
    }
    return static_cast<std::uint16_t>(lead << 8 | trail);
}

// The end of a field without its padding blanks. A blank byte is never the second byte of a
// double-byte character, so the text ends where the blanks begin.
const unsigned char *withoutPadding(const unsigned char *begin, const unsigned char *end)
{
    constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
    while (end - begin >= 8) {
        std::uint64_t word;
        std::memcpy(&word, end - 8, 8);
        if (word != kBlanks)
            break;
        end -= 8;
    }
    while (end > begin && end[-1] == ' ')
        --end;
    return end;
}

} // namespace

FoldedQuery::FoldedQuery(const QString &text)
{
    const QByteArray bytes = cp932::encode(trimBlanks(text));
    const auto *at = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = at + bytes.size();
    while (at < end) {
        int length = 1;
        m_units.push_back(unitAt(at, end, &length));
        at += length;
    }
}

bool FoldedQuery::matchesAt(const unsigned char *at, const unsigned char *end) const
{
    for (std::uint16_t unit : m_units) {
        if (at >= end)
            return false;
        int length = 1;
        if (unitAt(at, end, &length) != unit)
            return false;
        at += length;
    }
    return true;
}

bool FoldedQuery::foundIn(const char *bytes, qsizetype size) const
{
    if (m_units.empty())
        return true;
    const auto *at = reinterpret_cast<const unsigned char *>(bytes);
    const auto *end = withoutPadding(at, at + size);
    const std::uint16_t first = m_units.front();
    while (at < end) {
        int length = 1;
        if (unitAt(at, end, &length) == first && matchesAt(at, end))
            return true;
        at += length;
    }
    return false;
}

Matches matchHeaders(const std::vector<MailHeaderBytes> &headers, const FoldedQuery &query)
{
    Matches matches(headers.size(), 0);
    for (size_t i = 0; i < headers.size(); ++i) {
        const MailHeaderBytes &row = headers[i];
        matches[i] = query.foundIn(row.subject.constData(), row.subject.size()) ||
                     query.foundIn(row.address.constData(), row.address.size());
    }
    return matches;
}

Status matchBodies(MailStore &store, const FoldedQuery &query, Matches &matches)
{
    matches.clear();
    MailRecord buffer;
    return store.ReadAll(buffer, [&](int, const MailRecord &record) {
        matches.push_back(
            query.foundIn(record.data() + MailRecord::kBodyOffset, MailRecord::kBodyWidth));
    });
}

} // namespace orv::exchange
