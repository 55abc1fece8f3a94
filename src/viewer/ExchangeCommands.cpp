#include "viewer/ExchangeCommands.h"

#include "exchange/HistoryExchange.h"
#include "ui/App.h"
#include "ui/RunProgress.h"
#include "viewer/HistoryView.h"
#include "viewer/TyakuForm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>

namespace orv {

namespace {

// Long enough for the progress window to answer 中止 at once, short enough to cost nothing.
constexpr qint64 kEventIntervalMs = 50;

const QString kNoHistoryShown = QStringLiteral("着信履歴か送信履歴を開いてから実行して下さい。");

// Shows progress and lets 中止 through while the work runs on this thread.
class ExchangeProgress {
public:
    ExchangeProgress(QWidget *parent, const QString &caption)
        : m_window(parent, QStringLiteral("ExchangeProgress"), caption)
    {
        QObject::connect(&m_window, &RunProgressWindow::cancelRequested,
                         [this] { m_cancelled = true; });
        m_sinceEvents.start();
    }

    exchange::Progress callback()
    {
        return [this](int done, int total) {
            m_window.setProgress(done, total);
            if (m_sinceEvents.elapsed() >= kEventIntervalMs) {
                QCoreApplication::processEvents();
                m_sinceEvents.restart();
            }
            return !m_cancelled;
        };
    }

    void close() { m_window.close(); }

private:
    RunProgressWindow m_window;
    QElapsedTimer m_sinceEvents;
    bool m_cancelled = false;
};

void tell(App &app, TyakuForm &form, const QString &text, QMessageBox::Icon icon)
{
    app.showMessage(&form, {text, {}, QMessageBox::Ok, icon});
}

std::optional<exchange::ExportContext> shownHistory(App &app, TyakuForm &form)
{
    switch (app.state().viewMode) {
    case ViewMode::Received:
        return exchange::ExportContext{exchange::History::Received,
                                       app.state().serverSettings.mailAddress};
    case ViewMode::Sent:
        return exchange::ExportContext{exchange::History::Sent,
                                       app.state().serverSettings.mailAddress};
    case ViewMode::None:
        break;
    }
    tell(app, form, kNoHistoryShown, QMessageBox::Information);
    return std::nullopt;
}

void reportExport(App &app, TyakuForm &form, const exchange::ExchangeResult &result)
{
    if (!result.status)
        tell(
            app, form,
            result.status.error() +
                QStringLiteral("\n書き出しを中止しました。（%1 件書き出し済み）").arg(result.count),
            QMessageBox::Critical);
    else if (result.cancelled)
        tell(app, form, QStringLiteral("書き出しを中止しました。"), QMessageBox::Information);
    else
        tell(app, form, QStringLiteral("%1 件のメールを書き出しました。").arg(result.count),
             QMessageBox::Information);
}

using Exporter = exchange::ExchangeResult (*)(MailStore &, const exchange::ExportContext &,
                                              const QString &, const exchange::Progress &);

void exportShownHistory(App &app, TyakuForm &form, const FileDialogRequest &request,
                        Exporter exporter)
{
    const std::optional<exchange::ExportContext> context = shownHistory(app, form);
    std::optional<ViewSource> source = currentViewSource(app);
    if (!context || !source)
        return;
    const QString path = app.fileDialogs().saveFileName(&form, request);
    if (path.isEmpty())
        return;
    ExchangeProgress progress(&form, QStringLiteral("メールを書き出しています。"));
    const exchange::ExchangeResult result =
        exporter(source->store, *context, path, progress.callback());
    progress.close();
    reportExport(app, form, result);
}

} // namespace

void installExchangeCommands(App &app, TyakuForm &form)
{
    auto *file = form.findChild<QMenu *>(QStringLiteral("mFile"));
    if (!file)
        return;
    QAction *closing = form.findChild<QAction *>(QStringLiteral("mline"));
    const auto entry = [&](const char *name, const QString &caption, auto action) {
        auto *item = new QAction(caption, file);
        item->setObjectName(QLatin1String(name));
        QObject::connect(item, &QAction::triggered, &form,
                         [&app, &form, action] { action(app, form); });
        file->insertAction(closing, item);
    };
    QAction *separator = file->insertSeparator(closing);
    separator->setObjectName(QStringLiteral("mline4"));
    entry("mexportmbox", QStringLiteral("履歴をmboxで書き出し..."), exportShownHistoryAsMbox);
    entry("mexporteml", QStringLiteral("履歴をemlで書き出し..."), exportShownHistoryAsEml);
    entry("mimportmail", QStringLiteral("mbox/emlを着信履歴に取り込み..."),
          importIntoReceivedHistory);
}

void exportShownHistoryAsMbox(App &app, TyakuForm &form)
{
    exportShownHistory(app, form,
                       {QStringLiteral("mboxファイル(*.mbox *.mbx);;すべてのファイル(*)"), true},
                       exchange::exportMbox);
}

void exportShownHistoryAsEml(App &app, TyakuForm &form)
{
    exportShownHistory(app, form, {QStringLiteral("新しいフォルダ(*)"), false},
                       exchange::exportEmlFolder);
}

void importIntoReceivedHistory(App &app, TyakuForm &form)
{
    const QString path = app.fileDialogs().openFileName(
        &form, {QStringLiteral("メール(*.mbox *.mbx *.eml);;すべてのファイル(*)"), false});
    if (path.isEmpty())
        return;
    ExchangeProgress progress(&form, QStringLiteral("メールを取り込んでいます。"));
    const exchange::ExchangeResult result =
        exchange::importMessages(app.appDir(), exchange::importSources(path), progress.callback());
    progress.close();
    if (app.state().viewMode == ViewMode::Received && result.count > 0)
        OpenHistoryView(app, ViewMode::Received);
    const QString count =
        QStringLiteral("%1 件のメールを着信履歴に取り込みました。").arg(result.count);
    if (!result.status)
        tell(app, form,
             result.status.error() + QStringLiteral("\n取り込みを中止しました。") + count,
             QMessageBox::Critical);
    else
        tell(app, form, count, QMessageBox::Information);
}

} // namespace orv
