// libFuzzer target for the settings file and the profile (account) file: arbitrary bytes
// as "\korvel.ini" or "iniIdPass.ini". Settings read back as written once they have been
// written once; a profile value written is the value read, and reading never yields more
// than 255 characters.
#include "core/Cp932.h"
#include "core/ProfileFile.h"
#include "store/Settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace orv;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void fuzzSettings(const QByteArray &bytes)
{
    const ServerSettings first = parseSettings(cp932::decode(bytes));
    // Unmappable characters become "〓" on the first write; from then on nothing changes.
    const ServerSettings second = parseSettings(cp932::decode(formatSettings(first)));
    check(parseSettings(cp932::decode(formatSettings(second))) == second);
    check(first.apop == second.apop);
}

void fuzzProfile(const QByteArray &bytes, const QString &path)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
          file.write(bytes) == bytes.size());
    file.close();

    const ProfileFile profile(path);
    const QString section = QStringLiteral("EXEINI");
    for (const QString key :
         {QStringLiteral("NAME"), QStringLiteral("NAME2"), QStringLiteral("NAME3")})
        check(profile.read(section, key).size() <= 255);
    const QString otherBefore = profile.read(section, QStringLiteral("NAME"));
    check(profile.write(section, QStringLiteral("NAME2"), QStringLiteral("秘密pass")).ok());
    check(profile.read(section, QStringLiteral("NAME2")) == QStringLiteral("秘密pass"));
    check(profile.read(section, QStringLiteral("NAME")) == otherBefore);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static QTemporaryDir folder;
    check(folder.isValid());
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1)
        fuzzSettings(bytes);
    else
        fuzzProfile(bytes, folder.filePath(QStringLiteral("iniIdPass.ini")));
    return 0;
}
