#include "store/MailRecord.h"

#include "core/Cp932.h"

#include <cstring>

namespace orv {

MailRecord::MailRecord()
{
    m_bytes.fill(' ');
    m_bytes[kCrLfOffset] = '\r';
    m_bytes[kCrLfOffset + 1] = '\n';
    setInUse(1);
}

QString MailRecord::field(qsizetype offset, qsizetype width) const
{
    return cp932::decode(m_bytes.data() + offset, width);
}

void MailRecord::setField(qsizetype offset, qsizetype width, const QString &text)
{
    cp932::writeFixedField(text, m_bytes.data() + offset, width);
}

QString MailRecord::subject() const
{
    return field(kSubjectOffset, kSubjectWidth);
}
QString MailRecord::date() const
{
    return field(kDateOffset, kDateWidth);
}
QString MailRecord::address() const
{
    return field(kAddressOffset, kAddressWidth);
}
QString MailRecord::body() const
{
    return field(kBodyOffset, kBodyWidth);
}

void MailRecord::setSubject(const QString &text)
{
    setField(kSubjectOffset, kSubjectWidth, text);
}
void MailRecord::setDate(const QString &text)
{
    setField(kDateOffset, kDateWidth, text);
}
void MailRecord::setAddress(const QString &text)
{
    setField(kAddressOffset, kAddressWidth, text);
}
void MailRecord::setBody(const QString &text)
{
    setField(kBodyOffset, kBodyWidth, text);
}

qint16 MailRecord::inUse() const
{
    const auto low = static_cast<unsigned char>(m_bytes[kInUseOffset]);
    const auto high = static_cast<unsigned char>(m_bytes[kInUseOffset + 1]);
    return static_cast<qint16>(low | (high << 8));
}

void MailRecord::setInUse(qint16 value)
{
    const auto bits = static_cast<quint16>(value);
    m_bytes[kInUseOffset] = static_cast<char>(bits & 0xFF);
    m_bytes[kInUseOffset + 1] = static_cast<char>(bits >> 8);
}

} // namespace orv
