#pragma once

#include "store/FixedRecord.h"

namespace orv {

// One 32284-byte record of a mail history store.
class MailRecord : public FixedRecord<32284, 32280, 32282> {
public:
    static constexpr FixedField kSubject{0, 100};
    static constexpr FixedField kDate{100, 90};
    static constexpr FixedField kAddress{190, 90};
    static constexpr FixedField kBody{280, 32000};
    static constexpr qsizetype kSubjectOffset = kSubject.offset, kSubjectWidth = kSubject.width;
    static constexpr qsizetype kDateOffset = kDate.offset, kDateWidth = kDate.width;
    static constexpr qsizetype kAddressOffset = kAddress.offset, kAddressWidth = kAddress.width;
    static constexpr qsizetype kBodyOffset = kBody.offset, kBodyWidth = kBody.width;
    // The list shows the three header fields, which all lie before the body.
    static constexpr qsizetype kHeaderSize = kBodyOffset;

    // A blank record: every text field spaces, CR LF, in use.
    MailRecord() = default;

    QString subject() const { return text(kSubject); }
    QString date() const { return text(kDate); }
    QString address() const { return text(kAddress); }
    QString body() const { return text(kBody); }
    qint16 inUse() const { return inUseFlag(); }

    void setSubject(const QString &value) { setText(kSubject, value); }
    void setDate(const QString &value) { setText(kDate, value); }
    void setAddress(const QString &value) { setText(kAddress, value); }
    void setBody(const QString &value) { setText(kBody, value); }
    void setInUse(qint16 value) { setInUseFlag(value); }

    bool operator==(const MailRecord &) const = default;
};

static_assert(sizeof(MailRecord) == MailRecord::kSize);

} // namespace orv
