#include "viewer/ExchangeCommands.h"

#include "exchange/ExportTarget.h"
#include "exchange/HistoryExchange.h"
#include "ui/App.h"
#include "ui/RunProgress.h"
#include "viewer/FilterBar.h"
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

// The rows the filter shows, while the list is narrowed; the export writes only them.
struct ShownRows {
    const exchange::RecordChoice *choice = nullptr; // none: the whole history
    int count = 0;
};

ShownRows shownRows(const TyakuForm &form)
{
    const MailFilterModel *filter = listFilter(form);
    if (!filter || !filter->isFiltering())
        return {};
    return {&*filter->matches(), filter->rowCount()};
}

// "表示中の 3 件を" while the list is narrowed, "履歴を" otherwise.
QString exportObject(const ShownRows &shown)
{
    return shown.choice ? QStringLiteral("表示中の %1 件を").arg(shown.count)
                        : QStringLiteral("履歴を");
}

void reportExport(App &app, TyakuForm &form, const exchange::ExchangeResult &result,
                  const ShownRows &shown)
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
        tell(app, form,
             (shown.choice ? QStringLiteral("表示中の %1 件のメールを書き出しました。")
                           : QStringLiteral("%1 件のメールを書き出しました。"))
                 .arg(result.count),
             QMessageBox::Information);
}

using Exporter = exchange::ExchangeResult (*)(MailStore &, const exchange::ExportContext &,
                                              const QString &, const exchange::Progress &,
                                              const exchange::RecordChoice *);

void exportShownHistory(App &app, TyakuForm &form, const FileDialogRequest &request,
                        exchange::ExportShape shape, Exporter exporter)
{
    const std::optional<exchange::ExportContext> context = shownHistory(app, form);
    std::optional<ViewSource> source = currentViewSource(app);
    if (!context || !source)
        return;
    const QString path = app.fileDialogs().saveFileName(&form, request);
    if (path.isEmpty())
        return;
    if (Status target = exchange::checkExportTarget(app.appDir(), path, shape); !target) {
        tell(app, form, target.error(), QMessageBox::Critical);
        return;
    }
    const ShownRows shown = shownRows(form);
    ExchangeProgress progress(&form, exportObject(shown) + QStringLiteral("書き出しています。"));
    const exchange::ExchangeResult result =
        exporter(source->store, *context, path, progress.callback(), shown.choice);
    progress.close();
    reportExport(app, form, result, shown);
}

// The export entries say what they write: the shown rows while the list is narrowed.
void captionExportEntries(TyakuForm &form)
{
    const QString object = exportObject(shownRows(form));
    if (auto *mbox = form.findChild<QAction *>(QStringLiteral("mexportmbox")))
        mbox->setText(object + QStringLiteral("mboxで書き出し..."));
    if (auto *eml = form.findChild<QAction *>(QStringLiteral("mexporteml")))
        eml->setText(object + QStringLiteral("emlで書き出し..."));
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
    entry("mexportmbox", QString(), exportShownHistoryAsMbox);
    entry("mexporteml", QString(), exportShownHistoryAsEml);
    captionExportEntries(form);
    if (auto *bar = form.findChild<FilterBar *>())
        QObject::connect(bar, &FilterBar::shownRowsChanged, &form,
                         [&form] { captionExportEntries(form); });
    entry("mimportmail", QStringLiteral("mbox/emlを着信履歴に取り込み..."),
          importIntoReceivedHistory);
}

void exportShownHistoryAsMbox(App &app, TyakuForm &form)
{
    exportShownHistory(app, form,
                       {QStringLiteral("mboxファイル(*.mbox *.mbx);;すべてのファイル(*)"), true},
                       exchange::ExportShape::File, exchange::exportMbox);
}

void exportShownHistoryAsEml(App &app, TyakuForm &form)
{
    exportShownHistory(app, form, {QStringLiteral("新しいフォルダ(*)"), false},
                       exchange::ExportShape::Folder, exchange::exportEmlFolder);
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
    const QString report = exchange::importReport(result);
    if (!result.status)
        tell(app, form,
             result.status.error() + QStringLiteral("\n取り込みを中止しました。") + report,
             QMessageBox::Critical);
    else
        tell(app, form, report, QMessageBox::Information);
}

} // namespace orv
