#pragma once

namespace orv {

class App;
class FriendForm;

// The address list's context menu: correct the selected entry in place, export the address book as
// CSV or vCard, import entries from such a file (duplicates skipped, entries that do not fit
// listed).
void installAddressExchangeMenu(App &app, FriendForm &form);

void ExportAddressBook(App &app, FriendForm &form);
void ImportAddressBook(App &app, FriendForm &form);
// 変更: the selected entry takes the name and address in the window's boxes, in place (its
// record number kept), after the checks 登録 makes.
void ChangeSelectedEntry(App &app, FriendForm &form);

} // namespace orv
