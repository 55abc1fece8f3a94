// Export of a full received store (32,767 records, about 1.06 GB) as one mbox file, against one
// sequential read of the same store file in the same run. Prints name=value lines:
// export_mbox_ms, read_ms and export_vs_read (target 3.0 or less), and the same export into a
// device that keeps nothing (export_without_file_ms, export_without_file_vs_read): the export's
// own work without the file system's writing and syncing of the file.

#include "exchange/HistoryExchange.h"
#include "store/MailRecord.h"
#include "support/HistoryBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace orv;

// Takes every byte and keeps none.
class Discard : public QIODevice {
protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override { return size; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("★MAilData"));
    AppDir appDir(folder.path());
    MailStore store = MailStore::ReceivedStore(appDir);
    if (!folder.isValid() || !bench::writeFullReceivedStore(store.filePath())) {
        std::fprintf(stderr, "cannot write the store\n");
        return EXIT_FAILURE;
    }
    const QString mbox = folder.path() + QStringLiteral("/export.mbox");

    // Warm both ways once, then take the better of three of each, interleaved.
    double readMs = 1e18;
    double exportMs = 1e18;
    double discardMs = 1e18;
    int exported = 0;
    for (int round = 0; round < 3; ++round) {
        Discard discard;
        discard.open(QIODevice::WriteOnly);
        QElapsedTimer discardTimer;
        discardTimer.start();
        if (!exchange::writeMbox(store, {exchange::History::Received, {}}, discard).status)
            return EXIT_FAILURE;
        discardMs = std::min(discardMs, double(discardTimer.nsecsElapsed()) / 1e6);

        readMs = std::min(readMs, bench::sequentialReadMs(store.filePath()));
        QElapsedTimer timer;
        timer.start();
        const exchange::ExchangeResult result =
            exchange::exportMbox(store, {exchange::History::Received, {}}, mbox);
        exportMs = std::min(exportMs, double(timer.nsecsElapsed()) / 1e6);
        if (!result.status) {
            std::fprintf(stderr, "%s\n", qPrintable(result.status.error()));
            return EXIT_FAILURE;
        }
        exported = result.count;
    }
    std::printf("records=%d\n", exported);
    std::printf("store_mb=%.1f\n", double(QFileInfo(store.filePath()).size()) / 1e6);
    std::printf("mbox_mb=%.1f\n", double(QFileInfo(mbox).size()) / 1e6);
    std::printf("read_ms=%.1f\n", readMs);
    std::printf("export_mbox_ms=%.1f\n", exportMs);
    std::printf("export_vs_read=%.2f\n", exportMs / readMs);
    std::printf("export_without_file_ms=%.1f\n", discardMs);
    std::printf("export_without_file_vs_read=%.2f\n", discardMs / readMs);
    return exported == bench::kFullStoreRecords ? EXIT_SUCCESS : EXIT_FAILURE;
}
