#include "support/HistoryBench.h"

#include "store/MailRecord.h"

#include <QElapsedTimer>
#include <QFile>

#include <vector>

namespace orv::bench {

bool writeFullReceivedStore(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    for (int n = 1; n <= kFullStoreRecords; ++n) {
        MailRecord record;
        record.setSubject(QStringLiteral("件名 %1 のお知らせ Meeting").arg(n));
        record.setAddress(QStringLiteral("送信者%1 <sender%1@example.jp>").arg(n));
        record.setDate(
            QStringLiteral("Wed, 9 Dec 2026 09:%1:00 +0900").arg(n % 60, 2, 10, QLatin1Char('0')));
        record.setBody(QStringLiteral("本文 %1 abc\r\n").arg(n).repeated(200));
        chunk.append(record.data(), MailRecord::kSize);
        if (n % 256 == 0 || n == kFullStoreRecords) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.flush();
}

double sequentialReadMs(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    std::vector<char> buffer(std::size_t(1) << 20);
    qint64 total = 0;
    for (qint64 got; (got = file.read(buffer.data(), qint64(buffer.size()))) > 0;)
        total += got;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return total == file.size() ? ms : -1;
}

} // namespace orv::bench
