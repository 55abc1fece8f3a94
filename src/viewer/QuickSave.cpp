#include "viewer/QuickSave.h"

#include "core/Cp932.h"
#include "core/TextFile.h"
#include "ui/App.h"
#include "ui/Clipboard.h"
#include "viewer/EditorCommands.h"
#include "viewer/HistoryView.h"
#include "viewer/TyakuForm.h"

#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTextEdit>

namespace orv {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Room for ".txt" within the 255 bytes a file name may take.
constexpr qsizetype kMaxNameBytes = 240;

enum class Wildcards { Keep, Replace };

bool unsafeInFileName(QChar c, Wildcards wildcards)
{
    static const QString forbidden = QStringLiteral("/\\:\"<>|");
    if (c.category() == QChar::Other_Control || c.isSurrogate() || forbidden.contains(c))
        return true;
    return wildcards == Wildcards::Replace && (c == u'*' || c == u'?');
}

// The subject made into a file name stem, cut where the name would grow too long.
QString fileNameStem(const QString &subject, Wildcards wildcards)
{
    QString stem;
    qsizetype bytes = 0;
    for (const QChar c : subject) {
        const QChar kept = unsafeInFileName(c, wildcards) ? QChar(u'_') : c;
        bytes += QString(kept).toUtf8().size();
        if (bytes > kMaxNameBytes)
            break;
        stem += kept;
    }
    if (stem.isEmpty())
        return QStringLiteral("無題");
    return stem;
}

// A name filter matches "[" as the start of a character set; the subject means it as is.
QString escapeCharacterSets(QString pattern)
{
    return pattern.replace(QStringLiteral("["), QStringLiteral("[[]"));
}

bool quickSaveFileExists(const QString &folder, const QString &subject)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const QStringList matches = QDir(folder).entryList(
        {escapeCharacterSets(quickSaveSearchPattern(subject))}, QDir::Files | QDir::Hidden);
    QGuiApplication::restoreOverrideCursor();
    return !matches.isEmpty();
}

QString quickSaveFolder(App &app)
{
    const QString folder = app.appDir().resolve(QStringLiteral("\\■TextQuickSave"));
    QDir().mkpath(folder);
    return folder;
}

} // namespace

QString headerBlockForEditor(const HeaderFields &fields)
{
    return QStringLiteral("Subject:  ") + fields.subject + kCrLf + QStringLiteral("From:  ") +
           fields.from + kCrLf + QStringLiteral("Date:  ") + fields.date + kCrLf +
           QStringLiteral("Body:  ") + fields.body;
}

QString headerBlockForFile(const HeaderFields &fields)
{
    return headerBlockForEditor(fields) + kCrLf;
}

HeaderFields shownHeaderFields(const TyakuForm &form)
{
    return {form.Text7()->text(), form.Text8()->text(), form.Text9()->text(),
            editorText(*form.rtfEd())};
}

QString quickSaveFileName(const QString &subject)
{
    return fileNameStem(subject, Wildcards::Replace) + QStringLiteral(".txt");
}

QString quickSaveSearchPattern(const QString &subject)
{
    return fileNameStem(subject, Wildcards::Keep) + QStringLiteral(".txt");
}

void QuickSave(App &app, TyakuForm &form)
{
    if (!PassSelectionTest(app, form))
        return;
    const QString folder = quickSaveFolder(app);
    const QString subject = form.Text7()->text();
    if (quickSaveFileExists(folder, subject) &&
        app.showMessage(&form, {QStringLiteral("同名のファイルが既に存在します。上書きしますか？ "),
                                QStringLiteral("確認"), QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Question}) != QMessageBox::Yes)
        return;

    const HeaderFields fields = shownHeaderFields(form);
    const QString path = resolveCaseInsensitive(folder, quickSaveFileName(subject));
    const Status status = writeFileAtomically(path, cp932::encode(headerBlockForFile(fields)));
    if (!status) {
        showFailure(app, &form, status);
        return;
    }
    setEditorText(*form.rtfEd(), headerBlockForEditor(fields));
}

void CopyField(TyakuForm &form)
{
    putOnClipboard(form.Text6()->text());
}

} // namespace orv
