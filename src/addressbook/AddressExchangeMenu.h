#pragma once

namespace orv {

class App;
class FriendForm;

// The address list's context menu: export the address book as CSV or vCard, import entries
// from such a file (duplicates skipped, entries that do not fit listed).
void installAddressExchangeMenu(App &app, FriendForm &form);

void ExportAddressBook(App &app, FriendForm &form);
void ImportAddressBook(App &app, FriendForm &form);

} // namespace orv
