#pragma once

#include "core/AppDir.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace orv::test {

// A private program folder for one test: a copy of the installation tree in a temporary
// folder, removed afterwards.
class TempProgramFolder {
public:
    // A copy of the built program folder without the program's own files (the executable
    // and its modules); with `withInstallationTree` false the folder starts empty.
    explicit TempProgramFolder(bool withInstallationTree = true);

    // Copies the program's own files from `programDir` in, once, for a test that runs the
    // program as a process; the executable's path. The program finds its folder next to its
    // executable, so the build's program folder never gains the files a run creates.
    QString copyProgram(const QString &programDir = QStringLiteral(ORVAINE_PROGRAM_DIR)) const;

    const QString &path() const { return m_path; }
    AppDir appDir() const { return AppDir(m_path); }

    // The absolute path of a program path such as "\★MAilData\krvdata2.data".
    QString file(const QString &programPath) const;
    QByteArray readBytes(const QString &programPath) const;
    void writeBytes(const QString &programPath, const QByteArray &bytes) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Copies a folder tree, the program's own files left out.
void copyTree(const QString &from, const QString &to);

} // namespace orv::test
