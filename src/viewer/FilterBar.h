#pragma once

#include "exchange/MailFilter.h"

#include <QSortFilterProxyModel>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace orv {

class App;
class MailListModel;
class TyakuForm;

// The rows of the message list that the filter lets through; without a filter, all of them.
// Row numbers of the source stay record numbers.
class MailFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit MailFilterModel(QObject *parent = nullptr);

    // One flag a record; nothing shows every row.
    void setMatches(std::optional<exchange::Matches> matches);
    bool isFiltering() const { return m_matches.has_value(); }
    // The records the list shows while it is filtered.
    const std::optional<exchange::Matches> &matches() const { return m_matches; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    std::optional<exchange::Matches> m_matches;
};

// The viewer's filter bar, hidden until Ctrl+F: narrows the list as the user types, by
// subject and sender and, when "本文も検索" is on, by body.
class FilterBar : public QToolBar {
    Q_OBJECT
public:
    FilterBar(App &app, TyakuForm &form, MailListModel &list);

    MailFilterModel &model() { return *m_model; }

    void openBar();
    void closeBar();
    // Filters the list now by what the bar holds.
    void refilter();

signals:
    // The list shows other rows: the filter changed, or went.
    void shownRowsChanged();

private:
    void scheduleRefilter();
    // Looks through the bodies on a worker thread; the result, merged with `headerMatches`,
    // is shown unless a newer query came first.
    void searchBodies(const exchange::FoldedQuery &query, exchange::Matches headerMatches);
    void showMatches(exchange::Matches matches);
    void relayoutForm();

    App &m_app;
    TyakuForm &m_form;
    MailListModel &m_list;
    MailFilterModel *m_model = nullptr;
    QLineEdit *m_text = nullptr;
    QCheckBox *m_body = nullptr;
    QLabel *m_count = nullptr;
    QTimer m_typingPause;
    // Every query counts up; a body search whose query is no longer the newest is dropped.
    quint64 m_generation = 0;
    // One search at a time; waited for when the bar goes.
    QThreadPool m_searches;
};

// Puts the hidden filter bar on the viewer and gives the model its list shows.
QAbstractItemModel *installFilterBar(App &app, TyakuForm &form, MailListModel &list);

// The filter of the viewer's list; nullptr when the list has none.
const MailFilterModel *listFilter(const TyakuForm &form);

// The record number a row of the list shows, filtered or not; 0 for no row.
int recordNumberOfRow(const QModelIndex &row);

} // namespace orv
