#pragma once

#include <QString>

namespace orv {

// The program folder and the one place where program paths become file system paths.
// Program paths are written as on the original platform: relative to the folder,
// starting with "\", components separated by "\". Components are matched against the
// existing entries without regard to case, so "\★MailData" finds "★MAilData".
class AppDir {
public:
    explicit AppDir(QString root);

    const QString &root() const { return m_root; }

    // Resolves a program path to an absolute path. Components that exist are spelt as on
    // disk; missing ones keep the given spelling. Trailing spaces of the last component
    // are dropped ("\背景画像\1.jpg " opens 1.jpg).
    QString resolve(const QString &programPath) const;

private:
    QString m_root;
};

// Resolves `relative` ("\"- or "/"-separated) below `base` ignoring case; exposed for
// paths that are not program paths, such as folders chosen in dialogs.
QString resolveCaseInsensitive(const QString &base, const QString &relative);

} // namespace orv
