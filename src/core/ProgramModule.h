#pragma once

#include <QString>

#include <atomic>
#include <mutex>

namespace orv {

// The program's own modules (orvaine-mail.so, orvaine-print.so) sit beside its executable
// and are loaded when first needed, so that a start maps none of the libraries behind them.
// Each exports one C function, `entry`, that returns the module's table; the table's first
// member is the version of the program it was built with.
//
// The table of `fileName` from the program's folder, never unloaded; null when it cannot be
// loaded or was built for another version, with a sentence for the user in `error` that
// names what the module is for (`purpose`, e.g. "印刷").
const void *loadProgramModule(const QString &fileName, const char *entry, int version,
                              const QString &purpose, QString *error);

// One module as the program reaches it: loaded from the program's folder at the first call,
// or its code linked into the program (the tests).
template <typename Table> class ProgramModule {
public:
    constexpr ProgramModule(const char *fileName, const char *entry, const char *purpose)
        : m_fileName(fileName), m_entry(entry), m_purpose(purpose)
    {
    }

    const Table *table(QString *error)
    {
        if (const Table *linked = m_linked.load())
            return linked;
        std::call_once(m_loadOnce, [this] {
            m_loaded = static_cast<const Table *>(
                loadProgramModule(QString::fromUtf8(m_fileName), m_entry, Table::kVersion,
                                  QString::fromUtf8(m_purpose), &m_failure));
        });
        if (!m_loaded && error)
            *error = m_failure;
        return m_loaded;
    }

    // Null goes back to loading the module.
    void useLinked(const Table *table) { m_linked.store(table); }

private:
    const char *m_fileName;
    const char *m_entry;
    const char *m_purpose;
    std::atomic<const Table *> m_linked = nullptr;
    std::once_flag m_loadOnce;
    const Table *m_loaded = nullptr;
    QString m_failure;
};

} // namespace orv
