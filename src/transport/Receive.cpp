#include "transport/Receive.h"

#include "core/Cp932.h"
#include "core/TextFile.h"
#include "shell/AccountFile.h"
#include "shell/IdPassForm.h"
#include "shell/MainForm.h"
#include "store/MailStore.h"
#include "transport/MailLibrary.h"
#include "ui/App.h"
#include "viewer/EditorCommands.h"
#include "viewer/TyakuForm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressDialog>

namespace orv {

namespace {

const QString kAttachmentFolder = QStringLiteral("\\添付フォルダ\\");
const QString kTemporaryMessage = QStringLiteral("\\添付フォルダ\\0.txt");
const QString kNewMailPicture = QStringLiteral("\\新着画像\\1.jpg ");
const QString kAttachmentNotice =
    QStringLiteral("♪♪♪　添付ファイルがありましので、添付フォルダに展開しました。♪♪♪");
const QString kCrLf = QStringLiteral("\r\n");

// The folder as a text handed to the library: the resolved folder with its closing separator.
QString folderText(const AppDir &appDir, const QString &programFolder)
{
    return appDir.resolve(programFolder) + QLatin1Char('/');
}

// Keeps the windows painting while the mail library works; input to other windows stays
// blocked by the modal progress window.
class ProgressWindow {
public:
    ProgressWindow(QWidget *parent, int count, ReceiveRun &run)
        : m_dialog(QStringLiteral("メールを受信しています。"), QStringLiteral("中止"), 0, count,
                   parent)
    {
        m_dialog.setObjectName(QStringLiteral("ReceiveProgress"));
        m_dialog.setWindowTitle(App::applicationTitle());
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        QObject::connect(&m_dialog, &QProgressDialog::canceled, &run, &ReceiveRun::requestCancel);
    }

    void show(int number, int count)
    {
        // Repainting for every message of a fast run would cost more than the messages.
        if (number == 1 || number == count || m_sinceRepaint.elapsed() >= kRepaintIntervalMs) {
            m_dialog.setLabelText(
                QStringLiteral("メールを受信しています。 %1 / %2").arg(number).arg(count));
            m_dialog.setValue(number - 1);
            m_dialog.show();
            m_sinceRepaint.start();
        }
        QCoreApplication::processEvents();
    }

private:
    static constexpr qint64 kRepaintIntervalMs = 100;
    QProgressDialog m_dialog;
    QElapsedTimer m_sinceRepaint;
};

} // namespace

ReceiveRun::ReceiveRun(App &app, MainForm &mainForm) : m_app(app), m_mainForm(mainForm) {}

void ReceiveRun::run()
{
    if (!m_app.state().serverSettings.pop3Server.isEmpty()) {
        const int handle = connect();
        if (handle != -1) {
            if (loadAccount()) {
                if (const int count = authenticate(handle); count > 0)
                    receiveAll(handle, count);
            }
            closeSession(handle);
        }
    }
    announce();
}

void ReceiveRun::closeSession(int handle)
{
    // The server deletes at QUIT: every stored record must be on disk before it is sent.
    if (m_received > 0) {
        if (const Status synced = MailStore::ReceivedStore(m_app.appDir()).Sync(); !synced) {
            // Without QUIT the session is dropped and the server keeps every message.
            showError(synced.error() + QStringLiteral("\nサーバーのメールは削除していません。"));
            return;
        }
    }
    m_app.mail().NMailPop3Close(handle);
}

int ReceiveRun::connect()
{
    const int handle = m_app.mail().NMailPop3Connect(m_app.state().serverSettings.pop3Server);
    m_mainForm.setStatusLine(QStringLiteral("メールのチェックをしています。"));
    // An unreachable server is no "no new mail": the user is told why.
    if (handle == -1)
        showError(m_app.mail().NMailGetMessage(), QStringLiteral("エラー"));
    return handle;
}

bool ReceiveRun::loadAccount()
{
    const AccountCredentials saved = AccountFile(m_app.appDir()).read();
    IdPassForm *dialog = m_app.forms().get<IdPassForm>();
    dialog->IdText()->setText(saved.userId);
    dialog->PassText()->setText(saved.password);
    m_app.state().accountCredentials = saved;
    if (saved.userId.isEmpty() || saved.password.isEmpty()) {
        m_app.forms().show<IdPassForm>();
        return false;
    }
    return true;
}

int ReceiveRun::authenticate(int handle)
{
    const AccountCredentials &account = m_app.state().accountCredentials;
    const int apop = m_app.state().serverSettings.apop != 0 ? -1 : 0;
    const int count =
        m_app.mail().NMailPop3Authenticate(handle, account.userId, account.password, apop);
    if (count < 0)
        showError(m_app.mail().NMailGetMessage(), QStringLiteral("エラー"));
    return count;
}

void ReceiveRun::receiveAll(int handle, int count)
{
    ProgressWindow progress(&m_mainForm, count, *this);
    for (int number = 1; number <= count && !m_cancelRequested; ++number) {
        progress.show(number, count);
        if (receiveOne(handle, number) == Outcome::Stop)
            break;
        emit messageStored(number, count);
    }
    // Each message overwrites the temporary file; creating and deleting it for every
    // message would cost more than storing the message.
    QFile::remove(m_app.appDir().resolve(kTemporaryMessage));
}

ReceiveRun::Outcome ReceiveRun::receiveOne(int handle, int number)
{
    MailLibrary &mail = m_app.mail();
    MailHeaderFields fields;
    QString body;
    mail.NMailPop3GetMailStatus(handle, number, fields, 0);
    mail.NMailPop3GetMailSize(handle, number);
    // A message that did not arrive whole (a dropped connection, a timeout) ends the run;
    // it stays on the server.
    if (mail.NMailPop3GetMail(handle, number, fields, body, 0, 0) < 0) {
        showError(mail.NMailGetMessage(), QStringLiteral("エラー"));
        return Outcome::Stop;
    }

    const bool mentionsAttachment = body.contains(QStringLiteral("attachment"));
    m_mainForm.clearClock();

    bool written = false;
    const QString wholeMessage = wholeMessageThroughTemporaryFile(fields.header, body, &written);
    if (!written)
        return Outcome::Stop;
    const AppDir &appDir = m_app.appDir();
    const int attachments =
        mail.NMailAttachmentFileFirst(fields, body, folderText(appDir, kAttachmentFolder),
                                      appDir.resolve(kTemporaryMessage), wholeMessage);
    mail.NMailAttachmentFileClose();
    reportAttachmentResult(attachments);

    TyakuForm *viewer = m_app.forms().get<TyakuForm>();
    viewer->Text7()->setText(fields.subject);
    viewer->Text8()->setText(fields.from);
    viewer->Text9()->setText(fields.date);
    setEditorText(*viewer->rtfEd(), mentionsAttachment ? body + kCrLf + kAttachmentNotice : body);

    if (!storeStagedMessage())
        return Outcome::Stop;
    mail.NMailPop3DeleteMail(handle, number);
    ++m_received;
    return Outcome::Continue;
}

QString ReceiveRun::wholeMessageThroughTemporaryFile(const QString &header, const QString &body,
                                                     bool *ok)
{
    const QString path = m_app.appDir().resolve(kTemporaryMessage);
    QFile file(path);
    const QByteArray bytes = cp932::encode(header + kCrLf + body + kCrLf);
    *ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
          file.write(bytes) == bytes.size() && file.flush();
    if (!*ok) {
        showError(fileFailure(path, QStringLiteral("書き込み"), file.errorString()).error() +
                  QStringLiteral(
                      "\n受信を中止しました。このメールと残りのメールはサーバーに残っています。"));
        file.close();
        QFile::remove(path);
        return {};
    }
    file.close();
    return joinLinesWithCrLf(cp932::decode(bytes));
}

void ReceiveRun::reportAttachmentResult(int result)
{
    if (result == -5)
        showError(QStringLiteral("添付ファイルをオープンできません"));
    else if (result == -6)
        showError(QStringLiteral("分割されたメールが全て揃っていません"));
}

bool ReceiveRun::storeStagedMessage()
{
    TyakuForm *viewer = m_app.forms().get<TyakuForm>();
    MailRecord &buffer = m_app.state().receivedBuffer;
    buffer.setSubject(trimBlanks(viewer->Text7()->text()));
    buffer.setDate(trimBlanks(viewer->Text9()->text()));
    buffer.setAddress(trimBlanks(viewer->Text8()->text()));
    buffer.setBody(trimBlanks(editorText(*viewer->rtfEd())));
    MailStore store = MailStore::ReceivedStore(m_app.appDir());
    const Status stored = store.Append(buffer, nullptr, Durability::SyncedLater);
    if (!stored)
        showError(stored.error() +
                  QStringLiteral(
                      "\n受信を中止しました。このメールと残りのメールはサーバーに残っています。"));
    return stored.ok();
}

void ReceiveRun::announce()
{
    if (m_received > 0) {
        m_mainForm.Play();
        m_mainForm.setResultLabel(QString::number(m_received) +
                                  QStringLiteral("の新着メール有り。"));
        m_mainForm.showPicture(kNewMailPicture);
    } else {
        m_mainForm.setResultLabel(QStringLiteral("新着メール無し。"));
    }
}

void ReceiveRun::showError(const QString &text, const QString &title)
{
    m_app.showMessage(&m_mainForm, {text, title, QMessageBox::Ok, QMessageBox::NoIcon});
}

void Receive(App &app, MainForm &mainForm)
{
    ReceiveRun run(app, mainForm);
    run.run();
}

} // namespace orv
