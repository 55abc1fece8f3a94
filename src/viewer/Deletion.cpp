#include "viewer/Deletion.h"

#include "core/Cp932.h"
#include "ui/App.h"
#include "viewer/FilterBar.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListModel.h"
#include "viewer/TyakuForm.h"

#include <QLineEdit>
#include <QTextEdit>

namespace orv {

namespace {

QString deleteOneQuestion(ViewMode mode)
{
    return mode == ViewMode::Sent
               ? QStringLiteral("選択された（行、青色）データを削除します。よろしいですか?")
               : QStringLiteral("選択された（行、青色）データを削除します。よろしいですか");
}

bool confirmed(App &app, TyakuForm &form, const QString &question,
               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton)
{
    return app.showMessage(&form,
                           {question, QStringLiteral("確認"), QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Question, defaultButton}) == QMessageBox::Yes;
}

// While the filter hides rows, the question names what goes unseen, and No is the default.
bool deleteAllConfirmed(App &app, TyakuForm &form)
{
    const MailFilterModel *filter = listFilter(form);
    const int total = form.listModel().rowCount();
    const int hidden = filter && filter->isFiltering() ? total - filter->rowCount() : 0;
    if (hidden == 0)
        return confirmed(app, form, QStringLiteral("すべてのデータを削除して良いですか？"));
    return confirmed(app, form,
                     QStringLiteral("絞り込みで表示していない %1 件を含む、%2 件すべてを削除して"
                                    "良いですか？")
                         .arg(hidden)
                         .arg(total),
                     QMessageBox::No);
}

void tellNothingSelected(App &app, TyakuForm &form)
{
    app.showMessage(
        &form,
        {QStringLiteral("データが選択されていません"), {}, QMessageBox::Ok, QMessageBox::NoIcon});
}

// The sent view has no marker of its own: a message counts as chosen while the sent
// buffer holds an address, that is after a row click or a list fill.
bool markerSet(App &app, TyakuForm &form)
{
    if (app.state().viewMode == ViewMode::Sent)
        form.Text5()->setText(cutAtNul(app.state().sentBuffer.address()));
    return !form.Text5()->text().isEmpty();
}

void clearDisplayFields(TyakuForm &form)
{
    form.Text7()->clear();
    form.Text8()->clear();
    form.Text9()->clear();
    form.rtfEd()->clear();
}

// The record goes into the buffer before it is marked, so that the marked record keeps
// its own bytes should the compaction fail and leave it in the store.
Status markAndCompact(ViewSource &source, int number)
{
    if (Status read = source.store.Read(number, *source.buffer); !read)
        return read;
    if (Status marked = source.store.MarkDeleted(number, *source.buffer); !marked)
        return marked;
    return source.store.Compact(*source.buffer);
}

} // namespace

void deleteOne(App &app, TyakuForm &form)
{
    std::optional<ViewSource> source = currentViewSource(app);
    const int number = form.selectedRecordNumber();
    if (!source || !markerSet(app, form) || number == 0) {
        tellNothingSelected(app, form);
        return;
    }
    const bool yes = confirmed(app, form, deleteOneQuestion(app.state().viewMode));
    form.rtfEd()->setFocus();
    form.Text5()->clear();
    if (!yes) {
        form.rtfEd()->clear();
        return;
    }
    const Status status = markAndCompact(*source, number);
    if (!status) {
        showFailure(app, &form, status);
        return;
    }
    clearDisplayFields(form);
    RefillAfterDelete(app, form, source->store, *source->buffer);
}

void deleteAll(App &app, TyakuForm &form)
{
    std::optional<ViewSource> source = currentViewSource(app);
    if (!source || !deleteAllConfirmed(app, form))
        return;
    const Status status =
        source->store.MarkAllDeletedAndCompact(source->store.RecordCount(), *source->buffer);
    if (!status) {
        showFailure(app, &form, status);
        return;
    }
    form.listModel().clear();
    form.Text2()->setText(QStringLiteral("0"));
    clearDisplayFields(form);
}

} // namespace orv
