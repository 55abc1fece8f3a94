#include "core/Iconv.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace orv {

namespace {

const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);
constexpr size_t kFailed = static_cast<size_t>(-1);

// The output buffer and how much of it is written; grows on demand.
class Output {
public:
    explicit Output(qsizetype expected) : m_bytes(std::max<qsizetype>(expected, 16), '\0') {}

    char *next() { return m_bytes.data() + m_used; }
    size_t left() const { return static_cast<size_t>(m_bytes.size() - m_used); }
    void advanceTo(const char *end) { m_used = end - m_bytes.constData(); }
    void grow(qsizetype atLeast = 0)
    {
        m_bytes.resize(std::max(m_bytes.size() * 2, m_used + atLeast));
    }
    void append(QByteArrayView bytes)
    {
        if (left() < static_cast<size_t>(bytes.size()))
            grow(bytes.size());
        std::copy(bytes.begin(), bytes.end(), next());
        m_used += bytes.size();
    }
    QByteArray take()
    {
        m_bytes.truncate(m_used);
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    qsizetype m_used = 0;
};

} // namespace

Iconv::Iconv(const char *to, const char *from) : m_cd(::iconv_open(to, from)) {}

Iconv::~Iconv()
{
    if (isValid())
        ::iconv_close(static_cast<iconv_t>(m_cd));
}

bool Iconv::isValid() const
{
    return static_cast<iconv_t>(m_cd) != kInvalid;
}

void Iconv::reset()
{
    ::iconv(static_cast<iconv_t>(m_cd), nullptr, nullptr, nullptr, nullptr);
}

std::optional<QByteArray> Iconv::convertStrictly(QByteArrayView input)
{
    if (!isValid())
        return std::nullopt;
    reset();
    const auto cd = static_cast<iconv_t>(m_cd);
    char *in = const_cast<char *>(input.data());
    size_t inLeft = static_cast<size_t>(input.size());
    Output out(input.size() * 2 + 16);
    for (;;) {
        char *outPtr = out.next();
        size_t outLeft = out.left();
        // The second call ends a stateful output (ISO-2022-JP's return to ASCII).
        const bool converted = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft) != kFailed &&
                               ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != kFailed;
        const int error = errno;
        out.advanceTo(outPtr);
        if (converted)
            return out.take();
        if (error != E2BIG)
            return std::nullopt;
        out.grow();
    }
}

QByteArray Iconv::convertLeniently(QByteArrayView input, QByteArrayView replacement,
                                   InvalidLength invalidLength, qsizetype *replaced)
{
    if (replaced)
        *replaced = 0;
    if (!isValid())
        return {};
    reset();
    const auto cd = static_cast<iconv_t>(m_cd);
    char *in = const_cast<char *>(input.data());
    size_t inLeft = static_cast<size_t>(input.size());
    Output out(input.size() * 3 + 16);
    while (inLeft > 0) {
        char *outPtr = out.next();
        size_t outLeft = out.left();
        const bool converted = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft) != kFailed;
        const int error = errno;
        out.advanceTo(outPtr);
        if (converted)
            break;
        if (error == E2BIG) {
            out.grow();
            continue;
        }
        const qsizetype skip =
            std::clamp<qsizetype>(invalidLength(QByteArrayView(in, static_cast<qsizetype>(inLeft))),
                                  1, static_cast<qsizetype>(inLeft));
        in += skip;
        inLeft -= static_cast<size_t>(skip);
        out.append(replacement);
        if (replaced)
            ++*replaced;
        reset();
    }
    return out.take();
}

std::optional<QByteArray> convertStrictly(QByteArrayView input, const char *to, const char *from)
{
    Iconv converter(to, from);
    return converter.convertStrictly(input);
}

qsizetype iconvOneByte(QByteArrayView)
{
    return 1;
}

qsizetype iconvUtf8Sequence(QByteArrayView rest)
{
    const auto lead = static_cast<unsigned char>(rest.front());
    qsizetype announced = 1;
    if ((lead & 0xE0) == 0xC0)
        announced = 2;
    else if ((lead & 0xF0) == 0xE0)
        announced = 3;
    else if ((lead & 0xF8) == 0xF0)
        announced = 4;
    // A sequence cut short ends where its continuation bytes end: what follows is the
    // next character, not part of the broken one.
    qsizetype length = 1;
    while (length < announced && length < rest.size() &&
           (static_cast<unsigned char>(rest[length]) & 0xC0) == 0x80)
        ++length;
    return length;
}

} // namespace orv
