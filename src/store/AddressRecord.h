#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace orv {

// One 184-byte record of the address book files, kept as its bytes on disk so that a record
// read is written back byte for byte. Text fields are code page 932, space padded.
class AddressRecord {
public:
    static constexpr qsizetype kSize = 184;
    static constexpr qsizetype kNameOffset = 0, kNameWidth = 90;
    static constexpr qsizetype kCrLfOffset = 90;
    static constexpr qsizetype kInUseOffset = 92;
    static constexpr qsizetype kAddressOffset = 94, kAddressWidth = 90;

    // A blank record: both text fields spaces, CR LF, in use.
    AddressRecord();

    QString name() const;
    QString address() const;
    qint16 inUse() const;

    void setName(const QString &text);
    void setAddress(const QString &text);
    void setInUse(qint16 value);

    const char *data() const { return m_bytes.data(); }
    char *data() { return m_bytes.data(); }

    bool operator==(const AddressRecord &) const = default;

private:
    std::array<char, kSize> m_bytes;
};

} // namespace orv
