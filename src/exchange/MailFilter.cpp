#include "exchange/MailFilter.h"

#include "core/Cp932.h"
#include "exchange/FieldBytes.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv::exchange {

namespace {

constexpr unsigned char kFirstHalfWidthKana = 0xA1; // ｡
constexpr unsigned char kLastHalfWidthKana = 0xDF;  // ﾟ
constexpr unsigned char kVoicedMark = 0xDE;         // ﾞ
constexpr unsigned char kSemiVoicedMark = 0xDF;     // ﾟ
constexpr int kHalfWidthKanaCount = kLastHalfWidthKana - kFirstHalfWidthKana + 1;

std::uint16_t twoByteUnit(const QString &text)
{
    const QByteArray bytes = cp932::encode(text);
    if (text.size() != 1 || bytes.size() != 2)
        return 0;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                      static_cast<unsigned char>(bytes[1]));
}

// The full-width forms of the half-width katakana (one byte each in code page 932), alone
// and with a voiced or semi-voiced mark after them; 0 where a pair has no single form.
struct HalfWidthKana {
    std::array<std::uint16_t, kHalfWidthKanaCount> alone{};
    std::array<std::uint16_t, kHalfWidthKanaCount> voiced{};
    std::array<std::uint16_t, kHalfWidthKanaCount> semiVoiced{};

    HalfWidthKana()
    {
        const auto half = [](unsigned char byte) {
            return cp932::decode(reinterpret_cast<const char *>(&byte), 1);
        };
        for (int i = 0; i < kHalfWidthKanaCount; ++i) {
            const QString kana = half(static_cast<unsigned char>(kFirstHalfWidthKana + i));
            alone[i] = twoByteUnit(kana.normalized(QString::NormalizationForm_KC));
            voiced[i] =
                twoByteUnit((kana + half(kVoicedMark)).normalized(QString::NormalizationForm_KC));
            semiVoiced[i] = twoByteUnit(
                (kana + half(kSemiVoicedMark)).normalized(QString::NormalizationForm_KC));
        }
        // Alone, the marks fold to their full-width spacing forms, not to combining marks.
        alone[kVoicedMark - kFirstHalfWidthKana] = twoByteUnit(QStringLiteral("゛"));
        alone[kSemiVoicedMark - kFirstHalfWidthKana] = twoByteUnit(QStringLiteral("゜"));
    }
};

const HalfWidthKana &halfWidthKana()
{
    static const HalfWidthKana table;
    return table;
}

// A half-width katakana folds to its full-width form; one followed by a mark that voices it
// folds with the mark to the voiced form (ｶﾞ is ガ).
std::uint16_t halfWidthKanaUnit(const unsigned char *at, const unsigned char *end, int *length)
{
    const HalfWidthKana &kana = halfWidthKana();
    const int index = *at - kFirstHalfWidthKana;
    if (at + 1 < end && (at[1] == kVoicedMark || at[1] == kSemiVoicedMark)) {
        const std::uint16_t marked =
            at[1] == kVoicedMark ? kana.voiced[index] : kana.semiVoiced[index];
        if (marked != 0) {
            *length = 2;
            return marked;
        }
    }
    *length = 1;
    return kana.alone[index] != 0 ? kana.alone[index] : *at;
}

// The half-width byte a full-width unit is written with, the first of two for a voiced
// one; 0 when it has none.
unsigned char halfWidthFirstByte(std::uint16_t unit)
{
    const HalfWidthKana &kana = halfWidthKana();
    for (int i = 0; i < kHalfWidthKanaCount; ++i)
        if (kana.alone[i] == unit || kana.voiced[i] == unit || kana.semiVoiced[i] == unit)
            return static_cast<unsigned char>(kFirstHalfWidthKana + i);
    return 0;
}

// The folded unit of the character at `at` and its length in bytes.
inline std::uint16_t unitAt(const unsigned char *at, const unsigned char *end, int *length)
{
    const unsigned char lead = *at;
    if (lead >= kFirstHalfWidthKana && lead <= kLastHalfWidthKana)
        return halfWidthKanaUnit(at, end, length);
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

const unsigned char *withoutPadding(const unsigned char *begin, const unsigned char *end)
{
    return reinterpret_cast<const unsigned char *>(endWithoutPadding(
        reinterpret_cast<const char *>(begin), reinterpret_cast<const char *>(end)));
}

// Every byte form of a folded unit: an ASCII letter in either case and full-width in either
// case, a digit half- and full-width, a katakana full- and half-width (where a voiced one
// starts), anything else as it is written.
template <typename Form> std::vector<Form> formsOf(std::uint16_t unit)
{
    if (unit >= 0x100) {
        std::vector<Form> forms = {
            {static_cast<unsigned char>(unit >> 8), static_cast<unsigned char>(unit), true}};
        if (const unsigned char half = halfWidthFirstByte(unit); half != 0)
            forms.push_back({half, 0, false});
        return forms;
    }
    const auto byte = static_cast<unsigned char>(unit);
    if (byte >= 'a' && byte <= 'z')
        return {{byte, 0, false},
                {static_cast<unsigned char>(byte - ('a' - 'A')), 0, false},
                {0x82, static_cast<unsigned char>(0x81 + (byte - 'a')), true},
                {0x82, static_cast<unsigned char>(0x60 + (byte - 'a')), true}};
    if (byte >= '0' && byte <= '9')
        return {{byte, 0, false}, {0x82, static_cast<unsigned char>(0x4F + (byte - '0')), true}};
    return {{byte, 0, false}};
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
    if (!m_units.empty())
        m_firstForms = formsOf<Form>(m_units.front());
}

bool FoldedQuery::mayBeIn(const char *bytes, qsizetype size) const
{
    if (m_units.empty())
        return true;
    const auto *at = reinterpret_cast<const unsigned char *>(bytes);
    const auto *end = withoutPadding(at, at + size);
#if defined(__SSE2__)
    // Sixteen places at a time: a byte that is the first of a form, followed by its second.
    __m128i firsts[4], seconds[4];
    const size_t forms = std::min<size_t>(m_firstForms.size(), 4);
    for (size_t f = 0; f < forms; ++f) {
        firsts[f] = _mm_set1_epi8(static_cast<char>(m_firstForms[f].first));
        seconds[f] = _mm_set1_epi8(static_cast<char>(m_firstForms[f].second));
    }
    for (; end - at >= 17; at += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + 1));
        __m128i hit = _mm_setzero_si128();
        for (size_t f = 0; f < forms; ++f) {
            __m128i form = _mm_cmpeq_epi8(here, firsts[f]);
            if (m_firstForms[f].twoBytes)
                form = _mm_and_si128(form, _mm_cmpeq_epi8(next, seconds[f]));
            hit = _mm_or_si128(hit, form);
        }
        if (_mm_movemask_epi8(hit) != 0)
            return true;
    }
#endif
    for (; at < end; ++at)
        for (const Form &form : m_firstForms)
            if (*at == form.first && (!form.twoBytes || (at + 1 < end && at[1] == form.second)))
                return true;
    return false;
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
    return store.ReadBlocks([&](int, const char *records, int count) {
        for (int i = 0; i < count; ++i) {
            const char *body = records + qsizetype(i) * MailRecord::kSize + MailRecord::kBodyOffset;
            matches.push_back(query.mayBeIn(body, MailRecord::kBodyWidth) &&
                              query.foundIn(body, MailRecord::kBodyWidth));
        }
        return true;
    });
}

} // namespace orv::exchange
