#include "core/ProgramModule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

#include <memory>
#include <mutex>
#include <vector>

namespace orv {

const void *loadProgramModule(const QString &fileName, const char *entry, int version,
                              const QString &purpose, QString *error)
{
    // Kept, never unloaded: what the module made lives until the program ends.
    static std::vector<std::unique_ptr<QLibrary>> loaded;
    const QString path = QCoreApplication::applicationDirPath() + u'/' + fileName;
    auto library = std::make_unique<QLibrary>(path);
    using Entry = const void *(*)();
    // Only a regular file goes to the system's loader: a FIFO or a device put in its place is
    // never opened.
    const auto tableOf =
        QFileInfo(path).isFile() ? reinterpret_cast<Entry>(library->resolve(entry)) : nullptr;
    const void *table = tableOf ? tableOf() : nullptr;
    if (!table) {
        if (error)
            *error = QStringLiteral("%1に使うライブラリ（%2）を読み込めませんでした。"
                                    "プログラムのフォルダーにあるか確かめてください。")
                         .arg(purpose, fileName);
        return nullptr;
    }
    if (*static_cast<const int *>(table) != version) {
        if (error)
            *error = QStringLiteral("%1に使うライブラリ（%2）がこのプログラムと合いません。"
                                    "プログラムを入れ直してください。")
                         .arg(purpose, fileName);
        return nullptr;
    }
    static std::mutex keeping;
    const std::lock_guard lock(keeping);
    loaded.push_back(std::move(library));
    return table;
}

} // namespace orv
