#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// glibc's iconv behind one small class: the program's conversions between Unicode and the
// Japanese charsets all go through here.
namespace orv {

// One conversion descriptor. Opening one costs more than converting a mail record, so
// frequent conversions keep theirs; a descriptor is not safe to share between threads.
class Iconv {
public:
    Iconv(const char *to, const char *from);
    ~Iconv();
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    // False when iconv does not know one of the charsets.
    bool isValid() const;

    // Strict: nothing as soon as one character does not convert, or the input ends inside
    // a character.
    std::optional<QByteArray> convertStrictly(QByteArrayView input);

    // Lenient: an input sequence that does not convert (unmappable, broken or cut off) is
    // skipped, `invalidLength` bytes of it, and `replacement` is written in its place;
    // `replaced`, when given, counts the replacements.
    using InvalidLength = qsizetype (*)(QByteArrayView rest);
    QByteArray convertLeniently(QByteArrayView input, QByteArrayView replacement,
                                InvalidLength invalidLength, qsizetype *replaced = nullptr);

private:
    void reset();

    void *m_cd;
};

// A strict conversion with a descriptor of its own.
std::optional<QByteArray> convertStrictly(QByteArrayView input, const char *to, const char *from);

// Lengths of a sequence that does not convert, for the lenient mode: one byte, or the
// UTF-8 sequence its first byte announces, as far as its continuation bytes go.
qsizetype iconvOneByte(QByteArrayView rest);
qsizetype iconvUtf8Sequence(QByteArrayView rest);

} // namespace orv
