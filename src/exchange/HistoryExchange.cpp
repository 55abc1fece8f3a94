#include "exchange/HistoryExchange.h"

#include "core/Cp932.h"
#include "exchange/ExportTarget.h"
#include "exchange/Mbox.h"
#include "store/FileWrites.h"
#include "transport/MailModule.h"
#include "transport/ReceivedRecord.h"
#include "transport/mime/HeaderText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QSaveFile>
#include <QSemaphore>
#include <QSet>
#include <QThreadPool>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>

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

QByteArrayView bodyBytes(const QByteArray &message)
{
    const qsizetype end = message.indexOf("\r\n\r\n");
    if (message.startsWith("\r\n"))
        return QByteArrayView(message).sliced(2);
    return end < 0 ? QByteArrayView() : QByteArrayView(message).sliced(end + 4);
}

// The fields an export carried in headers of its own, because the standard ones could not
// hold them as they stood (see MessageExport).
void restoreOwnFields(const QByteArray &rawMessage, MailHeaderFields &fields)
{
    const QByteArray block = mime::headers::headerBlock(rawMessage);
    if (const auto date = mime::headers::fieldValue(block, "X-Orvaine-Date"))
        fields.date = mime::headers::decodeText(*date);
    if (const auto address = mime::headers::fieldValue(block, "X-Orvaine-From"))
        fields.from = mime::headers::decodeText(*address);
}

bool isChosen(const RecordChoice *chosen, int number)
{
    const auto index = static_cast<size_t>(number - 1);
    return !chosen || (index < chosen->size() && (*chosen)[index] != 0);
}

// The records from..to - 1 of a block whose first record is `first` that are in use and
// chosen, appended as mbox messages.
int appendInUse(const MboxWriter &writer, const char *records, int first, int from, int to,
                const RecordChoice *chosen, QByteArray &mbox)
{
    int appended = 0;
    for (int i = from; i < to; ++i) {
        const char *record = records + qsizetype(i) * MailRecord::kSize;
        if (qFromLittleEndian<qint16>(record + MailRecord::kInUseOffset) == 0 ||
            !isChosen(chosen, first + i))
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

// The records the received history holds, by a fast 128-bit digest of their subject, date,
// address and body fields: a message imported again is found without comparing 32 KB
// records.
class HistoryDigests {
public:
    Status load(MailStore &store)
    {
        return store.ReadBlocks([this](int, const char *records, int count) {
            for (int i = 0; i < count; ++i) {
                const char *record = records + qsizetype(i) * MailRecord::kSize;
                if (qFromLittleEndian<qint16>(record + MailRecord::kInUseOffset) != 0)
                    m_digests.insert(digest(record));
            }
            return true;
        });
    }

    // False when the history holds the record already; otherwise it counts as held now.
    bool insert(const MailRecord &record) { return insertDigest(digest(record.data())); }

private:
    static QByteArray digest(const char *record)
    {
        constexpr qsizetype fields = MailRecord::kBodyOffset + MailRecord::kBodyWidth;
        const std::array<size_t, 2> halves = {qHashBits(record, fields, 1),
                                              qHashBits(record, fields, 2)};
        return QByteArray(reinterpret_cast<const char *>(halves.data()), sizeof halves);
    }

    bool insertDigest(const QByteArray &digest)
    {
        const qsizetype before = m_digests.size();
        m_digests.insert(digest);
        return m_digests.size() != before;
    }

    QSet<QByteArray> m_digests;
};

void removeFiles(const QStringList &paths)
{
    for (const QString &path : paths)
        QFile::remove(path);
}

class Importer {
public:
    Importer(const AppDir &appDir, const Progress &progress, int total)
        : m_store(MailStore::ReceivedStore(appDir)),
          m_folder(appDir.resolve(kAttachmentFolder) + QLatin1Char('/')), m_progress(progress),
          m_total(total)
    {
    }

    bool start()
    {
        if (Status loaded = m_held.load(m_store); !loaded) {
            m_result.status = loaded;
            return false;
        }
        return true;
    }

    // False when the import ends here.
    bool store(const QByteArray &raw)
    {
        ++m_done;
        if (!hasHeaderBlock(raw)) {
            ++m_result.skipped.notMail;
            return reportProgress();
        }
        MailRecord record;
        QString error;
        QStringList written;
        if (receivedRecord(raw, m_folder, record, &error, &written) == kAttachmentNotWritten) {
            m_result.status = Status::failure(error);
            return false;
        }
        if (!m_held.insert(record)) {
            // Its attachments were expanded when it came first.
            removeFiles(written);
            ++m_result.skipped.duplicates;
            return reportProgress();
        }
        if (Status appended = m_store.Append(record, nullptr, Durability::SyncedLater); !appended) {
            removeFiles(written);
            m_result.status = appended;
            return false;
        }
        ++m_result.count;
        return reportProgress();
    }

    void fail(const Status &status) { m_result.status = status; }
    void skipNotMail() { ++m_result.skipped.notMail; }
    void skipNotRegular(int count) { m_result.skipped.notRegular += count; }

    ExchangeResult finish()
    {
        if (m_result.count > 0) {
            if (Status synced = m_store.Sync(); !synced && m_result.status)
                m_result.status = synced;
        }
        return m_result;
    }

private:
    bool reportProgress()
    {
        if (m_progress && !m_progress(m_done, m_total)) {
            m_result.cancelled = true;
            return false;
        }
        return true;
    }

    MailStore m_store;
    QString m_folder;
    const Progress &m_progress;
    int m_total;
    int m_done = 0;
    HistoryDigests m_held;
    ExchangeResult m_result;
};

Status notARegularFile(const QString &path, mode_t mode)
{
    return Status::failure(
        QStringLiteral(
            "「%1」は%2です。取り込めるのはメールのファイルか、emlファイルのフォルダだけです。")
            .arg(QDir::toNativeSeparators(path), fileKindText(mode)));
}

// Opens `path` only when it is a regular file (through symlinks). The open itself never
// waits: a FIFO put in the file's place after it was listed is found and refused.
Status openRegularFile(const QString &path, QFile &file)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fileFailure(path, QStringLiteral("読み込み"), systemReason(errno));
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const mode_t mode = info.st_mode;
        ::close(fd);
        return notARegularFile(path, mode);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fileFailure(path, QStringLiteral("読み込み"), file.errorString());
    }
    return Status::success();
}

int countMessages(const QStringList &paths)
{
    qsizetype total = 0;
    for (const QString &path : paths) {
        QFile file(path);
        if (openRegularFile(path, file))
            total += MailFileReader::countMessages(file);
    }
    return static_cast<int>(qMin<qsizetype>(total, std::numeric_limits<int>::max()));
}

// False when the import ends in this file.
bool importFile(Importer &importer, const QString &path)
{
    QFile file(path);
    if (Status opened = openRegularFile(path, file); !opened) {
        importer.fail(opened);
        return false;
    }
    MailFileReader reader(file);
    QByteArray message;
    bool any = false;
    while (reader.next(message)) {
        any = true;
        if (!importer.store(message))
            return false;
    }
    if (!reader.status()) {
        importer.fail(Status::failure(path + QStringLiteral(": ") + reader.status().error()));
        return false;
    }
    if (!any)
        importer.skipNotMail(); // an empty file, or one of blank lines only
    return true;
}

} // namespace

ExchangeResult writeMbox(MailStore &store, const ExportContext &context, QIODevice &device,
                         const Progress &progress, const RecordChoice *chosen)
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
                helpers.start([&block, &writer, half, records, first, bounds, chosen] {
                    block.appended[half] =
                        appendInUse(writer, records, first, bounds[half], bounds[half + 1], chosen,
                                    block.halves[half]);
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
                          const Progress &progress, const RecordChoice *chosen)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ExchangeResult failed;
        failed.status = fileFailure(path, QStringLiteral("作成"), file.errorString());
        return failed;
    }
    ExchangeResult result = writeMbox(store, context, file, progress, chosen);
    if (!result.status || result.cancelled) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit())
        result.status = writeFailure(path, file);
    return result;
}

ExchangeResult exportEmlFolder(MailStore &store, const ExportContext &context,
                               const QString &folder, const Progress &progress,
                               const RecordChoice *chosen)
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
        if (stopped || record.inUse() == 0 || !isChosen(chosen, number))
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
                   MailRecord &record, QString *error, QStringList *writtenFiles)
{
    // Receiving looks for the word in the text as the server sent it, before decoding.
    const bool withNotice = mentionsAttachment(bodyBytes(rawMessage));
    const MailModule *mail = mailModule(error);
    if (!mail)
        return kAttachmentNotWritten;
    MailHeaderFields fields;
    QString body;
    const int result = mail->expandMessage(rawMessage, attachmentFolder, fields, body, error,
                                           nullptr, writtenFiles);
    if (result == kAttachmentNotWritten)
        return result;
    restoreOwnFields(rawMessage, fields);
    record = orv::receivedRecord(fields, stagedBody(body, withNotice));
    return result;
}

namespace {

// Adds the regular files among `paths` (through symlinks); counts the rest.
void addRegularFiles(const QStringList &paths, ImportSources &sources)
{
    for (const QString &file : paths) {
        struct stat entry;
        if (::stat(QFile::encodeName(file).constData(), &entry) == 0 && S_ISREG(entry.st_mode))
            sources.files.append(file);
        else
            ++sources.notRegular;
    }
}

bool isMaildir(const QDir &folder)
{
    return QFileInfo(folder.filePath(QStringLiteral("cur"))).isDir() ||
           QFileInfo(folder.filePath(QStringLiteral("new"))).isDir();
}

// A Maildir names each message after the second it was delivered ("1765357200.M20P7.host"
// and, once seen, ":2,S" after it): that number first, then the name, is delivery order
// across cur/ and new/.
QStringList maildirMessages(const QDir &maildir)
{
    QList<std::pair<qint64, QString>> messages;
    for (const char *part : {"cur", "new"}) {
        const QDir folder(maildir.filePath(QLatin1String(part)));
        for (const QString &name : folder.entryList(QDir::Files | QDir::System))
            messages.append({name.section(u'.', 0, 0).toLongLong(), folder.filePath(name)});
    }
    std::sort(messages.begin(), messages.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first
                                  : QFileInfo(a.second).fileName() < QFileInfo(b.second).fileName();
    });
    QStringList paths;
    for (const auto &[delivered, path] : std::as_const(messages))
        paths.append(path);
    return paths;
}

QStringList emlFiles(const QDir &folder)
{
    QStringList paths;
    for (const QString &name :
         folder.entryList({QStringLiteral("*.eml")}, QDir::Files | QDir::System, QDir::Name))
        paths.append(folder.filePath(name));
    return paths;
}

} // namespace

ImportSources importSources(const QString &path)
{
    ImportSources sources;
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        sources.status = fileFailure(path, QStringLiteral("読み込み"), systemReason(errno));
        return sources;
    }
    if (S_ISREG(info.st_mode)) {
        sources.files = {path};
        return sources;
    }
    if (!S_ISDIR(info.st_mode)) {
        sources.status = notARegularFile(path, info.st_mode);
        return sources;
    }
    const QDir folder(path);
    addRegularFiles(isMaildir(folder) ? maildirMessages(folder) : emlFiles(folder), sources);
    if (sources.files.isEmpty() && sources.notRegular == 0)
        sources.status =
            Status::failure(QStringLiteral("「%1」に取り込むメールがありません。"
                                           "（emlファイルのフォルダか、cur と new のあるMaildirを"
                                           "指定してください）")
                                .arg(QDir::toNativeSeparators(path)));
    return sources;
}

ExchangeResult importMessages(const AppDir &appDir, const ImportSources &sources,
                              const Progress &progress)
{
    Importer importer(appDir, progress, countMessages(sources.files));
    importer.skipNotRegular(sources.notRegular);
    if (!sources.status) {
        importer.fail(sources.status);
        return importer.finish();
    }
    if (!importer.start())
        return importer.finish();
    for (const QString &path : sources.files)
        if (!importFile(importer, path))
            break;
    return importer.finish();
}

QString importReport(const ExchangeResult &result)
{
    QString report = QStringLiteral("%1 件のメールを着信履歴に取り込みました。").arg(result.count);
    const Skipped &skipped = result.skipped;
    const std::array<std::pair<int, QString>, 3> reasons = {{
        {skipped.duplicates,
         QStringLiteral("%1 件はすでに着信履歴にあるため取り込みませんでした。")},
        {skipped.notMail,
         QStringLiteral("%1 件はメールではない（空か、ヘッダーがない）ため取り込みませんでした。")},
        {skipped.notRegular,
         QStringLiteral(
             "%1 "
             "件は通常のファイルではない（FIFO、デバイス、リンク切れなど）ため読みませんでした。")},
    }};
    for (const auto &[count, sentence] : reasons)
        if (count > 0)
            report += QLatin1Char('\n') + sentence.arg(count);
    return report;
}

} // namespace orv::exchange
