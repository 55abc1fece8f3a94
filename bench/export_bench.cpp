// Export of a full received store (32,767 records, about 1.06 GB) as one mbox file, against one
// sequential read of the same store file in the same run. Prints name=value lines:
// export_mbox_ms, read_ms and export_vs_read, and the same export into a device that keeps
// nothing (export_without_file_ms, export_without_file_vs_read): the export's own work without
// the file system's writing and syncing of the file. The floor is what no export can go below:
// one read of the store plus writing and syncing a file of the export's size (floor_ms);
// export_vs_floor is the export's time over it (target 2.0 or less).

#include "exchange/HistoryExchange.h"
#include "store/MailRecord.h"
#include "support/HistoryBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
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

// Writes `size` bytes into a new file at `path` in 1 MB pieces and syncs it as an export
// does; the time in milliseconds, negative on failure.
double writeAndSyncMs(const QString &path, qint64 size)
{
    const QByteArray piece(qsizetype(1) << 20, 'x');
    QElapsedTimer timer;
    timer.start();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    for (qint64 left = size; left > 0; left -= piece.size())
        if (file.write(piece.constData(), std::min<qint64>(left, piece.size())) < 0)
            return -1;
    return file.commit() ? double(timer.nsecsElapsed()) / 1e6 : -1;
}

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
    double writeMs = 1e18;
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
        const double written =
            writeAndSyncMs(folder.path() + QStringLiteral("/floor.bin"), QFileInfo(mbox).size());
        if (written < 0)
            return EXIT_FAILURE;
        writeMs = std::min(writeMs, written);
    }
    const double floorMs = readMs + writeMs;
    std::printf("records=%d\n", exported);
    std::printf("store_mb=%.1f\n", double(QFileInfo(store.filePath()).size()) / 1e6);
    std::printf("mbox_mb=%.1f\n", double(QFileInfo(mbox).size()) / 1e6);
    std::printf("read_ms=%.1f\n", readMs);
    std::printf("export_mbox_ms=%.1f\n", exportMs);
    std::printf("export_vs_read=%.2f\n", exportMs / readMs);
    std::printf("export_without_file_ms=%.1f\n", discardMs);
    std::printf("export_without_file_vs_read=%.2f\n", discardMs / readMs);
    std::printf("write_and_sync_ms=%.1f\n", writeMs);
    std::printf("floor_ms=%.1f\n", floorMs);
    std::printf("export_vs_floor=%.2f\n", exportMs / floorMs);
    return exported == bench::kFullStoreRecords ? EXIT_SUCCESS : EXIT_FAILURE;
}
