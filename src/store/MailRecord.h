#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace orv {

// One 32284-byte record of a mail history store, kept as its bytes on disk so that every
// record read is written back byte for byte. Text fields are code page 932, space padded.
class MailRecord {
public:
    static constexpr qsizetype kSize = 32284;
    static constexpr qsizetype kSubjectOffset = 0, kSubjectWidth = 100;
    static constexpr qsizetype kDateOffset = 100, kDateWidth = 90;
    static constexpr qsizetype kAddressOffset = 190, kAddressWidth = 90;
    static constexpr qsizetype kBodyOffset = 280, kBodyWidth = 32000;
    static constexpr qsizetype kCrLfOffset = 32280;
    static constexpr qsizetype kInUseOffset = 32282;
    // The list shows the three header fields, which all lie before the body.
    static constexpr qsizetype kHeaderSize = kBodyOffset;

    // A blank record: every text field spaces, CR LF, in use.
    MailRecord();

    QString subject() const;
    QString date() const;
    QString address() const;
    QString body() const;
    qint16 inUse() const;

    void setSubject(const QString &text);
    void setDate(const QString &text);
    void setAddress(const QString &text);
    void setBody(const QString &text);
    void setInUse(qint16 value);

    const char *data() const { return m_bytes.data(); }
    char *data() { return m_bytes.data(); }

    bool operator==(const MailRecord &) const = default;

private:
    QString field(qsizetype offset, qsizetype width) const;
    void setField(qsizetype offset, qsizetype width, const QString &text);

    std::array<char, kSize> m_bytes;
};

} // namespace orv
