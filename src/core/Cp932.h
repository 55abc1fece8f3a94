#pragma once

#include <QByteArray>
#include <QString>

// Code page 932 (Windows-31J), the encoding of every file the program keeps.
namespace orv::cp932 {

// Characters code page 932 cannot hold are written as "〓".
QByteArray encode(const QString &text);

// Bytes that are not valid code page 932 come out as U+FFFD.
QString decode(const QByteArray &bytes);
QString decode(const char *data, qsizetype size);

// True when `byte` opens a double-byte character.
bool isLeadByte(unsigned char byte);

// The longest prefix of `bytes` of at most `width` bytes that does not end inside a
// double-byte character.
qsizetype boundaryCut(const QByteArray &bytes, qsizetype width);

// A fixed field of exactly `width` bytes: the text's code page 932 bytes, cut at a
// character boundary and padded with spaces.
QByteArray fixedField(const QString &text, qsizetype width);

// Writes the fixed field into `out`, which must hold `width` bytes.
void writeFixedField(const QString &text, char *out, qsizetype width);

} // namespace orv::cp932

namespace orv {

// The text up to its first NUL character, or all of it; spaces are kept.
QString cutAtNul(const QString &text);

// Trimming as the program means it: U+0020 only, other white space stays.
QString trimBlanks(const QString &text);
QString trimTrailingBlanks(const QString &text);

} // namespace orv
