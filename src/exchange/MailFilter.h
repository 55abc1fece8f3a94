#pragma once

#include "core/Status.h"
#include "store/MailStore.h"

#include <QString>

#include <cstdint>
#include <vector>

// Finding messages in a history by what their stored bytes say, without decoding them.
namespace orv::exchange {

// A search text folded for matching code page 932 bytes: ASCII letters match in either case,
// the full-width forms of letters and digits match their half-width forms, and half-width
// katakana match their full-width forms, a voiced mark after one included (ｶﾞ is ガ).
class FoldedQuery {
public:
    explicit FoldedQuery(const QString &text);

    bool isEmpty() const { return m_units.empty(); }

    // Whether the code page 932 text `bytes` holds the query; padding blanks at the end are
    // not looked at.
    bool foundIn(const char *bytes, qsizetype size) const;

    // Whether the code page 932 text `bytes` may hold the query: false only when no byte
    // form of its first character occurs anywhere in them. Far quicker than foundIn, which
    // decides.
    bool mayBeIn(const char *bytes, qsizetype size) const;

private:
    // One way the first character of the query can be written: one byte, or a lead and a
    // trail byte.
    struct Form {
        unsigned char first;
        unsigned char second;
        bool twoBytes;
    };

    bool matchesAt(const unsigned char *at, const unsigned char *end) const;

    std::vector<std::uint16_t> m_units;
    std::vector<Form> m_firstForms;
};

// One flag a record (1 a match, 0 none), in record order.
using Matches = std::vector<char>;

// Records whose subject or address holds the query.
Matches matchHeaders(const std::vector<MailHeaderBytes> &headers, const FoldedQuery &query);

// Records whose body holds the query: one sequential read of the store in large blocks with
// a buffer of its own.
Status matchBodies(MailStore &store, const FoldedQuery &query, Matches &matches);

} // namespace orv::exchange
