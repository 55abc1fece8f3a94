#include "viewer/QuickSave.h"

#include "core/Cp932.h"
#include "core/TextFile.h"
#include "ui/App.h"
#include "ui/Clipboard.h"
#include "viewer/EditorCommands.h"
#include "viewer/HistoryView.h"
#include "viewer/TyakuForm.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTextEdit>

namespace orv {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Room for ".txt" within the 255 bytes a file name may take.
constexpr qsizetype kMaxNameBytes = 240;

bool unsafeInFileName(QChar c)
{
    static const QString forbidden = QStringLiteral("/\\:\"<>|*?");
    return c.category() == QChar::Other_Control || c.isSurrogate() || forbidden.contains(c);
}

// The subject made into a file name stem, cut where the name would grow too long.
QString fileNameStem(const QString &subject)
{
    QString stem;
    qsizetype bytes = 0;
    for (const QChar c : subject) {
        const QChar kept = unsafeInFileName(c) ? QChar(u'_') : c;
        bytes += QString(kept).toUtf8().size();
        if (bytes > kMaxNameBytes)
            break;
        stem += kept;
    }
    if (stem.isEmpty())
        return QStringLiteral("無題");
    return stem;
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
    return fileNameStem(subject) + QStringLiteral(".txt");
}

void quickSave(App &app, TyakuForm &form)
{
    if (!passSelectionTest(app, form))
        return;
    const QString folder = quickSaveFolder(app);
    // The question is about the file about to be written, under its safe name: "a?c"
    // writes "a_c.txt" whether or not "abc.txt" exists.
    const QString path = resolveCaseInsensitive(folder, quickSaveFileName(form.Text7()->text()));
    if (QFileInfo(path).isFile() &&
        app.showMessage(&form, {QStringLiteral("同名のファイルが既に存在します。上書きしますか？ "),
                                QStringLiteral("確認"), QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Question}) != QMessageBox::Yes)
        return;

    const HeaderFields fields = shownHeaderFields(form);
    const Status status = writeFileAtomically(path, cp932::encode(headerBlockForFile(fields)));
    if (!status) {
        showFailure(app, &form, status);
        return;
    }
    setEditorText(*form.rtfEd(), headerBlockForEditor(fields));
}

void copyField(TyakuForm &form)
{
    putOnClipboard(form.Text6()->text());
}

} // namespace orv
