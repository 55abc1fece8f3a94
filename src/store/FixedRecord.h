#pragma once

#include "core/Cp932.h"

#include <QString>
#include <QtEndian>

#include <array>

namespace orv {

// A text field of a fixed-length record: where its bytes start and how many it takes.
struct FixedField {
    qsizetype offset;
    qsizetype width;
};

// The one layout of the program's record files: `Size` bytes kept exactly as on disk, so
// that every record read is written back byte for byte. Text fields are code page 932,
// padded with spaces; the record carries CR LF and a 16-bit little-endian in-use flag at
// offsets its kind names. The object is nothing but the bytes.
template <qsizetype Size, qsizetype CrLfOffset, qsizetype InUseOffset> class FixedRecord {
public:
    static constexpr qsizetype kSize = Size;
    static constexpr qsizetype kCrLfOffset = CrLfOffset;
    static constexpr qsizetype kInUseOffset = InUseOffset;

    const char *data() const { return m_bytes.data(); }
    char *data() { return m_bytes.data(); }

    bool operator==(const FixedRecord &) const = default;

protected:
    // A blank record: every byte a space, CR LF, in use.
    FixedRecord()
    {
        m_bytes.fill(' ');
        m_bytes[kCrLfOffset] = '\r';
        m_bytes[kCrLfOffset + 1] = '\n';
        setInUseFlag(1);
    }

    QString text(FixedField field) const
    {
        return cp932::decode(m_bytes.data() + field.offset, field.width);
    }
    void setText(FixedField field, const QString &value)
    {
        cp932::writeFixedField(value, m_bytes.data() + field.offset, field.width);
    }
    qint16 inUseFlag() const { return qFromLittleEndian<qint16>(m_bytes.data() + kInUseOffset); }
    void setInUseFlag(qint16 value) { qToLittleEndian(value, m_bytes.data() + kInUseOffset); }

private:
    static_assert(CrLfOffset + 2 <= Size && InUseOffset + 2 <= Size);
    std::array<char, Size> m_bytes;
};

} // namespace orv
