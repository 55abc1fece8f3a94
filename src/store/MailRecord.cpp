#include "store/MailRecord.h"

#include "core/Cp932.h"

#include <QtEndian>

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
    return qFromLittleEndian<qint16>(m_bytes.data() + kInUseOffset);
}

void MailRecord::setInUse(qint16 value)
{
    qToLittleEndian(value, m_bytes.data() + kInUseOffset);
}

} // namespace orv
