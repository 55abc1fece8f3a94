#pragma once

namespace orv {

class App;
class TyakuForm;

// The viewer's File menu entries for export and import, placed before its closing entry.
void installExchangeCommands(App &app, TyakuForm &form);

// The shown history as one mbox file, or as one .eml file per message in a new folder.
void exportShownHistoryAsMbox(App &app, TyakuForm &form);
void exportShownHistoryAsEml(App &app, TyakuForm &form);
// An mbox or .eml file into the received history.
void importIntoReceivedHistory(App &app, TyakuForm &form);

} // namespace orv
