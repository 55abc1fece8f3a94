#include "exchange/RecordFields.h"

#include "core/Cp932.h"
#include "exchange/FieldBytes.h"
#include "store/MailRecord.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace orv::exchange {

namespace {

// A 128-bit fingerprint of byte strings, eight bytes at a time: the id only has to stay the
// same for the same record and differ between records, not to resist a forger.
class Fingerprint {
public:
    void add(QByteArrayView bytes)
    {
        qsizetype at = 0;
        for (; at + 8 <= bytes.size(); at += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + at, 8);
            mixIn(word);
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, bytes.data() + at, size_t(bytes.size() - at));
        mixIn(tail);
        mixIn(std::uint64_t(bytes.size()));
    }

    QByteArray hex() const
    {
        const std::uint64_t halves[2] = {finish(m_a ^ m_b), finish(m_b + m_a)};
        return QByteArray(reinterpret_cast<const char *>(halves), sizeof halves).toHex();
    }

private:
    static std::uint64_t finish(std::uint64_t x)
    {
        x ^= x >> 33;
        x *= 0xFF51AFD7ED558CCDULL;
        x ^= x >> 33;
        x *= 0xC4CEB9FE1A85EC53ULL;
        return x ^ (x >> 33);
    }
    void mixIn(std::uint64_t word)
    {
        m_a = std::rotl((m_a ^ word) * 0x87C37B91114253D5ULL, 31) + m_b;
        m_b = std::rotl((m_b + word) * 0x4CF5AD432745937FULL, 33) ^ m_a;
    }

    std::uint64_t m_a = 0x9E3779B97F4A7C15ULL;
    std::uint64_t m_b = 0x2545F4914F6CDD1DULL;
};

} // namespace

QByteArrayView trimmedBytes(const char *bytes, qsizetype width)
{
    const char *end = endWithoutPadding(bytes, bytes + width);
    while (bytes < end && *bytes == ' ')
        ++bytes;
    return QByteArrayView(bytes, end - bytes);
}

QString trimmedField(const char *bytes, qsizetype width)
{
    // A blank byte is never the second byte of a double-byte character, so trimming the
    // bytes trims the text.
    const QByteArrayView trimmed = trimmedBytes(bytes, width);
    return cp932::decode(trimmed.data(), trimmed.size());
}

QByteArray messageIdOf(QByteArrayView subject, QByteArrayView date, QByteArrayView address,
                       QByteArrayView body)
{
    Fingerprint fingerprint;
    for (const QByteArrayView field : {subject, date, address, body})
        fingerprint.add(field);
    return '<' + fingerprint.hex() + "@orvaine.invalid>";
}

QByteArray messageIdOf(const char *record)
{
    return messageIdOf(trimmedBytes(record + MailRecord::kSubjectOffset, MailRecord::kSubjectWidth),
                       trimmedBytes(record + MailRecord::kDateOffset, MailRecord::kDateWidth),
                       trimmedBytes(record + MailRecord::kAddressOffset, MailRecord::kAddressWidth),
                       trimmedBytes(record + MailRecord::kBodyOffset, MailRecord::kBodyWidth));
}

} // namespace orv::exchange
