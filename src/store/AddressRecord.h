#pragma once

#include "store/FixedRecord.h"

namespace orv {

// One 184-byte record of the address book files.
class AddressRecord : public FixedRecord<184, 90, 92> {
public:
    static constexpr FixedField kName{0, 90};
    static constexpr FixedField kAddress{94, 90};
    static constexpr qsizetype kNameOffset = kName.offset, kNameWidth = kName.width;
    static constexpr qsizetype kAddressOffset = kAddress.offset, kAddressWidth = kAddress.width;

    // A blank record: both text fields spaces, CR LF, in use.
    AddressRecord() = default;

    QString name() const { return text(kName); }
    QString address() const { return text(kAddress); }
    qint16 inUse() const { return inUseFlag(); }

    void setName(const QString &value) { setText(kName, value); }
    void setAddress(const QString &value) { setText(kAddress, value); }
    void setInUse(qint16 value) { setInUseFlag(value); }

    bool operator==(const AddressRecord &) const = default;
};

static_assert(sizeof(AddressRecord) == AddressRecord::kSize);

} // namespace orv
