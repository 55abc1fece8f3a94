#include "exchange/HistoryExchange.h"

#include "core/Cp932.h"
#include "exchange/Mbox.h"
#include "store/FileWrites.h"
#include "transport/ReceivedRecord.h"
#include "transport/mime/MessageDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSemaphore>
#include <QThreadPool>
#include <QtEndian>

#include <array>

namespace orv::exchange {

namespace {

const QString kAttachmentFolder = QStringLiteral("\\添付フォルダ\\");

constexpr int kAttachmentNotWritten = -5;

Status writeFailure(const QString &path, const QIODevice &device)
{
    return fileFailure(path, QStringLiteral("書き込み"), device.errorString());
}

QString deviceName(const QIODevice &device)
{
    if (const auto *file = qobject_cast<const QFileDevice *>(&device))
        return file->fileName();
    return QStringLiteral("mbox");
}

QByteArray bodyBytes(const QByteArray &message)
{
    const qsizetype end = message.indexOf("\r\n\r\n");
    if (message.startsWith("\r\n"))
        return message.mid(2);
    return end < 0 ? QByteArray() : message.mid(end + 4);
}

// The records from..to - 1 of a block that are in use, appended as mbox messages.
int appendInUse(const MboxWriter &writer, const char *records, int from, int to, QByteArray &mbox)
{
    int appended = 0;
    for (int i = from; i < to; ++i) {
        const char *record = records + qsizetype(i) * MailRecord::kSize;
        if (qFromLittleEndian<qint16>(record + MailRecord::kInUseOffset) == 0)
            continue;
        writer.append(mbox, record);
        ++appended;
    }
    return appended;
}

// A file's earlier stretches go to the disk while the export goes on, so that the sync at
// its end waits for the last one only. Other devices are left as they are.
class ExportWriteback {
public:
    explicit ExportWriteback(QIODevice &device)
        : m_file(qobject_cast<QFileDevice *>(&device)), m_writeback(qint64(8) << 20)
    {
    }

    void written(qint64 bytes)
    {
        if (!m_file || !m_file->flush())
            return;
        const qint64 end = m_file->pos();
        m_writeback.written(m_file->handle(), end - bytes, end);
    }

private:
    QFileDevice *m_file;
    EarlyWriteback m_writeback;
};

class Importer {
public:
    Importer(const AppDir &appDir, const Progress &progress, int total)
        : m_store(MailStore::ReceivedStore(appDir)),
          m_folder(appDir.resolve(kAttachmentFolder) + QLatin1Char('/')), m_progress(progress),
          m_total(total)
    {
    }

    // False when the import ends here.
    bool store(const QByteArray &raw)
    {
        MailRecord record;
        QString error;
        if (receivedRecord(raw, m_folder, record, &error) == kAttachmentNotWritten) {
            m_result.status = Status::failure(error);
            return false;
        }
        if (Status appended = m_store.Append(record, nullptr, Durability::SyncedLater); !appended) {
            m_result.status = appended;
            return false;
        }
        ++m_result.count;
        if (m_progress && !m_progress(m_result.count, m_total)) {
            m_result.cancelled = true;
            return false;
        }
        return true;
    }

    void fail(const Status &status) { m_result.status = status; }

    ExchangeResult finish()
    {
        if (m_result.count > 0) {
            if (Status synced = m_store.Sync(); !synced && m_result.status)
                m_result.status = synced;
        }
        return m_result;
    }

private:
    MailStore m_store;
    QString m_folder;
    const Progress &m_progress;
    int m_total;
    ExchangeResult m_result;
};

Status openForReading(QFile &file)
{
    if (file.open(QIODevice::ReadOnly))
        return Status::success();
    return fileFailure(file.fileName(), QStringLiteral("読み込み"), file.errorString());
}

bool isMboxFile(QFile &file)
{
    const bool mbox = looksLikeMbox(file.peek(5));
    return mbox;
}

int countMessages(const QStringList &paths)
{
    qsizetype total = 0;
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        total += isMboxFile(file) ? countMboxMessages(file) : 1;
    }
    return static_cast<int>(qMin<qsizetype>(total, std::numeric_limits<int>::max()));
}

// False when the import ends in this file.
bool importFile(Importer &importer, const QString &path)
{
    QFile file(path);
    if (Status opened = openForReading(file); !opened) {
        importer.fail(opened);
        return false;
    }
    if (!isMboxFile(file)) {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            importer.fail(fileFailure(path, QStringLiteral("読み込み"), file.errorString()));
            return false;
        }
        return importer.store(withCrLfLines(bytes));
    }
    MboxReader reader(file);
    QByteArray message;
    while (reader.next(message))
        if (!importer.store(message))
            return false;
    if (!reader.status()) {
        importer.fail(Status::failure(path + QStringLiteral(": ") + reader.status().error()));
        return false;
    }
    return true;
}

} // namespace

ExchangeResult writeMbox(MailStore &store, const ExportContext &context, QIODevice &device,
                         const Progress &progress)
{
    ExchangeResult result;
    const int total = store.RecordCount();
    const MboxWriter writer(context);
    // Two helpers put a block into words, half each, while this thread reads the next block
    // and writes what the block before gave: reading, formatting and the file system's work
    // share the cores.
    QThreadPool helpers;
    helpers.setMaxThreadCount(2);
    struct Block {
        std::array<QByteArray, 2> halves;
        std::array<int, 2> appended = {0, 0};
        int last = 0; // record number
        QSemaphore done;
        bool started = false;
    };
    std::array<Block, 2> blocks; // in turn, as the store's blocks
    int turn = 0;
    bool writeFailed = false;
    ExportWriteback writeback(device);
    // Waits for a block's helpers and writes what they made.
    const auto finish = [&](Block &block) {
        if (!block.started)
            return;
        block.done.acquire(2);
        block.started = false;
        result.count += block.appended[0] + block.appended[1];
        for (QByteArray &half : block.halves) {
            if (!writeFailed && !result.cancelled && !half.isEmpty()) {
                writeFailed = device.write(half) != half.size();
                writeback.written(half.size());
            }
            half.resize(0);
        }
    };
    const Status read = store.ReadBlocks([&](int first, const char *records, int count) {
        Block &block = blocks[turn];
        turn = 1 - turn;
        const std::array<int, 3> bounds = {0, count / 2, count};
        if (count > 0) {
            block.started = true;
            block.last = first + count - 1;
            for (int half = 0; half < 2; ++half)
                helpers.start([&block, &writer, half, records, bounds] {
                    block.appended[half] = appendInUse(writer, records, bounds[half],
                                                       bounds[half + 1], block.halves[half]);
                    block.done.release();
                });
        }
        Block &before = blocks[turn];
        const bool reported = before.started;
        finish(before);
        const bool stop = writeFailed || (reported && progress && !progress(before.last, total));
        if (stop) {
            result.cancelled = !writeFailed;
            // The block's bytes go when the reading ends: its helpers finish first.
            finish(block);
        }
        return !stop;
    });
    finish(blocks[0]);
    finish(blocks[1]);
    if (writeFailed)
        result.status = writeFailure(deviceName(device), device);
    else if (!read)
        result.status = read;
    return result;
}

ExchangeResult exportMbox(MailStore &store, const ExportContext &context, const QString &path,
                          const Progress &progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ExchangeResult failed;
        failed.status = fileFailure(path, QStringLiteral("作成"), file.errorString());
        return failed;
    }
    ExchangeResult result = writeMbox(store, context, file, progress);
    if (!result.status || result.cancelled) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit())
        result.status = writeFailure(path, file);
    return result;
}

ExchangeResult exportEmlFolder(MailStore &store, const ExportContext &context,
                               const QString &folder, const Progress &progress)
{
    ExchangeResult result;
    if (!QDir().mkpath(folder)) {
        result.status =
            fileFailure(folder, QStringLiteral("作成"), QStringLiteral("フォルダを作れません"));
        return result;
    }
    const int total = store.RecordCount();
    MailRecord buffer;
    bool stopped = false;
    const Status read = store.ReadAll(buffer, [&](int number, const MailRecord &record) {
        if (stopped || record.inUse() == 0)
            return;
        const QString path =
            QDir(folder).filePath(QStringLiteral("%1.eml").arg(number, 5, 10, QLatin1Char('0')));
        if (QFileInfo::exists(path)) {
            result.status = fileFailure(path, QStringLiteral("作成"),
                                        QStringLiteral("同じ名前のファイルがあります"));
            stopped = true;
            return;
        }
        QSaveFile file(path);
        const QByteArray message = messageFromRecord(record, context);
        if (!file.open(QIODevice::WriteOnly) || file.write(message) != message.size() ||
            !file.commit()) {
            result.status = writeFailure(path, file);
            stopped = true;
            return;
        }
        ++result.count;
        if (progress && !progress(number, total)) {
            result.cancelled = true;
            stopped = true;
        }
    });
    if (!read && result.status)
        result.status = read;
    return result;
}

int receivedRecord(const QByteArray &rawMessage, const QString &attachmentFolder,
                   MailRecord &record, QString *error)
{
    const QByteArray raw = withCrLfLines(rawMessage);
    // Receiving looks for the word in the text as the server sent it, before decoding.
    const bool withNotice = mentionsAttachment(cp932::decode(bodyBytes(raw)));
    MailHeaderFields fields;
    QString body;
    const int result = mime::expandMessage(raw, attachmentFolder, fields, body, error);
    if (result == kAttachmentNotWritten)
        return result;
    record = orv::receivedRecord(fields, stagedBody(body, withNotice));
    return result;
}

QStringList importSources(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return {path};
    QStringList files;
    const QDir folder(path);
    for (const QString &name : folder.entryList({QStringLiteral("*.eml"), QStringLiteral("*.EML")},
                                                QDir::Files, QDir::Name))
        files.append(folder.filePath(name));
    files.removeDuplicates();
    return files;
}

ExchangeResult importMessages(const AppDir &appDir, const QStringList &paths,
                              const Progress &progress)
{
    Importer importer(appDir, progress, countMessages(paths));
    for (const QString &path : paths)
        if (!importFile(importer, path))
            break;
    return importer.finish();
}

} // namespace orv::exchange
