#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// RFC 2047 encoded-words and the folding of header values: one encoder for every message the
// program writes, sent or exported.
namespace orv::mime {

// Strict servers and readers want header lines no longer than this (RFC 5322).
constexpr qsizetype kMaxHeaderLine = 78;

// Whether a header value may stand as it is: printable ASCII with nothing a reader would take
// for an encoded-word.
bool isPlainHeaderText(const QString &text);
bool isPlainHeaderText(QByteArrayView bytes);

// UTF-8 encoded-words for `text` as it is, each holding whole characters and short enough
// that "Subject: " and the first word fit a 76-character line.
QList<QByteArray> utf8EncodedWords(const QString &text);
// The same for text that is UTF-8 already.
QList<QByteArray> utf8EncodedWords(QByteArrayView utf8);

// Encoded-words in the charset mail is written in (ISO-2022-JP when every character fits,
// UTF-8 otherwise), each holding whole characters in a complete charset state, so every word
// decodes on its own.
QList<QByteArray> encodedWords(const QString &text);

// Lays out a header's value on lines of at most 78 characters, folding only at the blank
// before a piece. A piece longer than a whole line still gets a line of its own.
class FoldedValue {
public:
    explicit FoldedValue(const QByteArray &fieldName);

    void add(const QByteArray &piece);
    void add(const QList<QByteArray> &pieces);
    // The value as it follows "Name:", starting with its blank or its first fold.
    const QByteArray &value() const { return m_value; }

private:
    QByteArray m_value;
    qsizetype m_column;
};

} // namespace orv::mime
