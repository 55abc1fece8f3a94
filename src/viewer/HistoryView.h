#pragma once

#include "core/Status.h"
#include "store/MailStore.h"
#include "ui/AppState.h"

#include <optional>

class QWidget;

namespace orv {

class App;
class TyakuForm;

// Shows the history viewer on the received or the sent store: caption, mode, list colour,
// and the list filled from the store.
void OpenHistoryView(App &app, ViewMode mode);

// The store and record buffer the viewer works on in its current mode; none before the
// viewer was first opened on a store.
struct ViewSource {
    MailStore store;
    MailRecord *buffer;
};
std::optional<ViewSource> currentViewSource(App &app);

// Lists every whole record of `store`; the display fields show the last one, trimmed, and
// its body goes through the clipboard.
void FillHistoryList(App &app, TyakuForm &form, MailStore &store, MailRecord &buffer);

// The list fill after a deletion: the display fields show the last record as stored,
// padding included.
void RefillAfterDelete(App &app, TyakuForm &form, MailStore &store, MailRecord &buffer);

// A click anywhere on the list: sets the selection marker and shows the selected record.
void clickMailList(App &app, TyakuForm &form);

// Shows the record of the highlighted row when the highlight moved without a click.
void showSelectedMessage(App &app, TyakuForm &form);

// The marker test of the message operations: false (after telling the user) when no
// message was chosen; otherwise the marker is used up.
bool passSelectionTest(App &app, TyakuForm &form);

// Tells the user what failed and why.
void showFailure(App &app, QWidget *parent, const Status &status);

} // namespace orv
