#pragma once

#include "core/Iconv.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The readings of the charset layer: each turns a sequence it cannot read into one "〓"
// and goes on at the next character boundary of its charset, counting what it could not
// read, so that a caller can tell a broken character from a wrong label.
namespace orv::mime::charsets {

struct Reading {
    QString text;
    qsizetype unreadable = 0;

    bool isClean() const { return unreadable == 0; }
};

// Where a sequence that cannot be read ends, for the charsets of the Shift_JIS, EUC and
// Chinese and Korean double-byte families.
qsizetype shiftJisUnit(QByteArrayView rest);
qsizetype eucJpUnit(QByteArrayView rest);
qsizetype doubleByteUnit(QByteArrayView rest);

// `bytes` read by glibc's iconv in `charset`.
Reading readWith(QByteArrayView bytes, const char *charset, Iconv::InvalidLength unit);
bool knowsCharset(const char *charset);

// ISO-2022-JP as its Windows superset (CP5022x) with the designations of ISO-2022-JP-2 and
// ISO-2022-JP-3 / -2004.
Reading readIso2022Jp(const QByteArray &bytes);

// EUC-JP as web forms write it: the two-byte plane read as code page 932 (so the NEC row
// 13 and the NEC-selected IBM rows of eucJP-ms and CP51932 come out, and user-defined rows
// become "〓"), JIS X 0212 and eucJP-ms' IBM extensions through glibc's EUC-JP-MS.
Reading readEucJp(const QByteArray &bytes);

} // namespace orv::mime::charsets
