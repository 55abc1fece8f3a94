#pragma once

#include <QString>

namespace orv {

// The outcome of an operation that can fail: success, or a sentence for the user that
// names what failed and why.
class [[nodiscard]] Status {
public:
    static Status success() { return Status(); }
    static Status failure(QString message) { return Status(std::move(message)); }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return ok(); }
    const QString &error() const { return m_error; }

private:
    Status() = default;
    explicit Status(QString message) : m_ok(false), m_error(std::move(message)) {}

    bool m_ok = true;
    QString m_error;
};

// "ファイル「path」を<action>できません。（reason）" — the one wording of file errors.
Status fileFailure(const QString &path, const QString &action, const QString &reason);

// The system's text for the current errno.
QString systemReason(int error);

} // namespace orv
