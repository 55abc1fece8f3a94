#include "viewer/HistoryView.h"

#include "ui/App.h"
#include "ui/Clipboard.h"
#include "viewer/MailListModel.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QLineEdit>
#include <QTextEdit>

namespace orv {

namespace {

struct ViewLook {
    QString caption;
    QColor listBackground;
};

ViewLook viewLook(ViewMode mode)
{
    if (mode == ViewMode::Sent)
        return {QStringLiteral("送信履歴"), QColor(250, 250, 255)};
    return {QStringLiteral("着信履歴"), QColor(210, 250, 250)};
}

enum class Padding { Trimmed, AsStored };

void showHeaderFields(TyakuForm &form, const MailRecord &record, Padding padding)
{
    const auto shown = [padding](const QString &field) {
        return padding == Padding::Trimmed ? displayField(field) : field;
    };
    form.Text7()->setText(shown(record.subject()));
    form.Text8()->setText(shown(record.address()));
    form.Text9()->setText(shown(record.date()));
}

// The body passes through the clipboard, which leaves it trimmed there and in the field.
void showBodyThroughClipboard(TyakuForm &form, const QString &body)
{
    form.rtfEd()->setPlainText(body);
    form.rtfEd()->setPlainText(PassThroughClipboard(form.rtfEd()->toPlainText()));
}

void showRowCount(TyakuForm &form)
{
    form.Text2()->setText(QString::number(form.listModel().rowCount()));
}

// Reads the headers of every record into the list. Only the last record reaches the
// fields and the clipboard: each record would overwrite the previous one there.
void listStore(App &app, TyakuForm &form, MailStore &store, MailRecord &buffer, Padding padding)
{
    form.listModel().clear();
    std::vector<MailHeaderBytes> headers;
    const Status status = store.ReadHeaders(headers, buffer);
    if (!status)
        showFailure(app, &form, status);
    const bool any = !headers.empty();
    form.listModel().setRows(std::move(headers));
    if (any) {
        showHeaderFields(form, buffer, padding);
        const QString body = buffer.body();
        showBodyThroughClipboard(form, padding == Padding::Trimmed ? displayField(body) : body);
    }
    showRowCount(form);
}

void showSelectedRecord(App &app, TyakuForm &form, ViewSource &source)
{
    const int number = form.selectedRecordNumber();
    if (number == 0)
        return;
    const Status status = source.store.Read(number, *source.buffer);
    if (!status) {
        showFailure(app, &form, status);
        return;
    }
    showHeaderFields(form, *source.buffer, Padding::Trimmed);
    showRowCount(form);
    showBodyThroughClipboard(form, displayField(source.buffer->body()));
}

} // namespace

void OpenHistoryView(App &app, ViewMode mode)
{
    TyakuForm *form = app.forms().show<TyakuForm>();
    const ViewLook look = viewLook(mode);
    form->setWindowTitle(look.caption);
    app.state().viewMode = mode;
    form->setListBackground(look.listBackground);
    if (std::optional<ViewSource> source = currentViewSource(app))
        FillHistoryList(app, *form, source->store, *source->buffer);
}

std::optional<ViewSource> currentViewSource(App &app)
{
    switch (app.state().viewMode) {
    case ViewMode::Received:
        return ViewSource{MailStore::ReceivedStore(app.appDir()), &app.state().receivedBuffer};
    case ViewMode::Sent:
        return ViewSource{MailStore::SentStore(app.appDir()), &app.state().sentBuffer};
    case ViewMode::None:
        break;
    }
    return std::nullopt;
}

void FillHistoryList(App &app, TyakuForm &form, MailStore &store, MailRecord &buffer)
{
    form.rtfEd()->setPlainText(QString());
    listStore(app, form, store, buffer, Padding::Trimmed);
}

void RefillAfterDelete(App &app, TyakuForm &form, MailStore &store, MailRecord &buffer)
{
    listStore(app, form, store, buffer, Padding::AsStored);
}

void clickMailList(App &app, TyakuForm &form)
{
    form.Text5()->setText(QStringLiteral("1"));
    std::optional<ViewSource> source = currentViewSource(app);
    if (!source)
        return;
    if (form.Text2()->text().toInt() == 0) {
        app.showMessage(&form, {QStringLiteral("選択するデータがありません。"),
                                {},
                                QMessageBox::Ok,
                                QMessageBox::NoIcon});
        return;
    }
    showSelectedRecord(app, form, *source);
}

void showSelectedMessage(App &app, TyakuForm &form)
{
    if (std::optional<ViewSource> source = currentViewSource(app))
        showSelectedRecord(app, form, *source);
}

bool passSelectionTest(App &app, TyakuForm &form)
{
    if (form.Text5()->text().isEmpty()) {
        app.showMessage(&form, {QStringLiteral("データが選択されていません"),
                                {},
                                QMessageBox::Ok,
                                QMessageBox::NoIcon});
        return false;
    }
    form.rtfEd()->setFocus();
    form.Text5()->setText(QString());
    return true;
}

void showFailure(App &app, QWidget *parent, const Status &status)
{
    app.showMessage(parent, {status.error(), {}, QMessageBox::Ok, QMessageBox::Critical});
}

} // namespace orv
