#include "store/AddressRecord.h"

#include "core/Cp932.h"

#include <QtEndian>

namespace orv {

AddressRecord::AddressRecord()
{
    m_bytes.fill(' ');
    m_bytes[kCrLfOffset] = '\r';
    m_bytes[kCrLfOffset + 1] = '\n';
    setInUse(1);
}

QString AddressRecord::name() const
{
    return cp932::decode(m_bytes.data() + kNameOffset, kNameWidth);
}

QString AddressRecord::address() const
{
    return cp932::decode(m_bytes.data() + kAddressOffset, kAddressWidth);
}

qint16 AddressRecord::inUse() const
{
    return qFromLittleEndian<qint16>(m_bytes.data() + kInUseOffset);
}

void AddressRecord::setName(const QString &text)
{
    cp932::writeFixedField(text, m_bytes.data() + kNameOffset, kNameWidth);
}

void AddressRecord::setAddress(const QString &text)
{
    cp932::writeFixedField(text, m_bytes.data() + kAddressOffset, kAddressWidth);
}

void AddressRecord::setInUse(qint16 value)
{
    qToLittleEndian(value, m_bytes.data() + kInUseOffset);
}

} // namespace orv
