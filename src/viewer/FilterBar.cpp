#include "viewer/FilterBar.h"

#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListModel.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QResizeEvent>
#include <QShortcut>
#include <QToolButton>

namespace orv {

namespace {

// Searching the bodies reads the whole store: wait until the user stops typing.
constexpr int kBodyTypingPauseMs = 300;

template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

MailFilterModel::MailFilterModel(QObject *parent) : QSortFilterProxyModel(parent) {}

void MailFilterModel::setMatches(std::optional<exchange::Matches> matches)
{
    m_matches = std::move(matches);
    invalidateFilter();
}

bool MailFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (!m_matches)
        return true;
    const auto row = static_cast<size_t>(sourceRow);
    return row < m_matches->size() && (*m_matches)[row] != 0;
}

FilterBar::FilterBar(App &app, TyakuForm &form, MailListModel &list)
    : QToolBar(&form), m_app(app), m_form(form), m_list(list), m_model(new MailFilterModel(this))
{
    setObjectName(QStringLiteral("FilterBar"));
    setMovable(false);
    setFloatable(false);
    m_model->setSourceModel(&list);

    addWidget(new QLabel(QStringLiteral("絞り込み"), this));
    m_text = named(new QLineEdit(this), "FilterText");
    m_text->setPlaceholderText(QStringLiteral("件名・差出人"));
    m_text->setClearButtonEnabled(true);
    addWidget(m_text);
    m_body = named(new QCheckBox(QStringLiteral("本文も検索"), this), "FilterBody");
    addWidget(m_body);
    m_count = named(new QLabel(this), "FilterCount");
    addWidget(m_count);
    auto *close = named(new QToolButton(this), "FilterClose");
    close->setText(QStringLiteral("閉じる"));
    addWidget(close);
    nameControls(
        {{m_text, QStringLiteral("絞り込み")}, {m_count, QStringLiteral("絞り込みの件数")}});

    m_searches.setMaxThreadCount(1);
    m_typingPause.setSingleShot(true);
    m_typingPause.setInterval(kBodyTypingPauseMs);
    connect(&m_typingPause, &QTimer::timeout, this, &FilterBar::refilter);
    connect(m_text, &QLineEdit::textEdited, this, &FilterBar::scheduleRefilter);
    connect(m_text, &QLineEdit::returnPressed, this, &FilterBar::refilter);
    connect(m_body, &QCheckBox::toggled, this, &FilterBar::refilter);
    connect(close, &QToolButton::clicked, this, &FilterBar::closeBar);
    // A refill after a deletion or a new view renumbers the rows.
    connect(&list, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model->isFiltering())
            refilter();
    });

    auto *open = new QAction(QStringLiteral("絞り込み"), &form);
    open->setObjectName(QStringLiteral("mfilter"));
    open->setShortcut(QKeySequence::Find);
    open->setShortcutContext(Qt::WindowShortcut);
    form.addAction(open);
    connect(open, &QAction::triggered, this, &FilterBar::openBar);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_text);
    escape->setContext(Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, this, &FilterBar::closeBar);

    hide();
}

void FilterBar::openBar()
{
    if (isHidden()) {
        show();
        relayoutForm();
    }
    m_text->setFocus();
    m_text->selectAll();
}

void FilterBar::closeBar()
{
    m_typingPause.stop();
    ++m_generation;
    m_text->clear();
    m_count->clear();
    m_model->setMatches(std::nullopt);
    hide();
    relayoutForm();
    emit shownRowsChanged();
}

void FilterBar::scheduleRefilter()
{
    if (m_body->isChecked())
        m_typingPause.start();
    else
        refilter();
}

void FilterBar::searchBodies(const exchange::FoldedQuery &query, exchange::Matches headerMatches)
{
    std::optional<ViewSource> source = currentViewSource(m_app);
    if (!source)
        return;
    const quint64 generation = m_generation;
    QPointer<FilterBar> bar(this);
    m_searches.start([bar, generation, query, store = source->store,
                      headers = std::move(headerMatches)]() mutable {
        exchange::Matches bodies;
        const Status status = exchange::matchBodies(store, query, bodies);
        // Back on the window's thread, where the bar may be gone or the query changed.
        QMetaObject::invokeMethod(qApp, [bar, generation, status, headers = std::move(headers),
                                         bodies = std::move(bodies)]() mutable {
            if (!bar || bar->m_generation != generation)
                return;
            if (!status) {
                showFailure(bar->m_app, &bar->m_form, status);
                return;
            }
            for (size_t i = 0; i < headers.size() && i < bodies.size(); ++i)
                headers[i] = headers[i] || bodies[i];
            bar->showMatches(std::move(headers));
        });
    });
}

void FilterBar::showMatches(exchange::Matches matches)
{
    m_model->setMatches(std::move(matches));
    m_count->setText(QStringLiteral("%1 件").arg(m_model->rowCount()));
    emit shownRowsChanged();
}

void FilterBar::refilter()
{
    m_typingPause.stop();
    ++m_generation;
    const exchange::FoldedQuery query(m_text->text());
    if (query.isEmpty()) {
        m_model->setMatches(std::nullopt);
        m_count->clear();
        emit shownRowsChanged();
        return;
    }
    exchange::Matches matches = exchange::matchHeaders(m_list.headerRows(), query);
    // The subject and sender matches show at once; body matches join them when the search
    // through the store is done.
    if (m_body->isChecked())
        searchBodies(query, matches);
    showMatches(std::move(matches));
}

// The bar takes its height from the window's canvas: the controls along the bottom follow.
void FilterBar::relayoutForm()
{
    QResizeEvent resized(m_form.size(), m_form.size());
    QCoreApplication::sendEvent(&m_form, &resized);
}

QAbstractItemModel *installFilterBar(App &app, TyakuForm &form, MailListModel &list)
{
    auto *bar = new FilterBar(app, form, list);
    form.addToolBar(Qt::TopToolBarArea, bar);
    bar->hide();
    return &bar->model();
}

const MailFilterModel *listFilter(const TyakuForm &form)
{
    return qobject_cast<const MailFilterModel *>(form.mailListView()->model());
}

int recordNumberOfRow(const QModelIndex &row)
{
    if (!row.isValid())
        return 0;
    if (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(row.model()))
        return proxy->mapToSource(row).row() + 1;
    return row.row() + 1;
}

} // namespace orv
