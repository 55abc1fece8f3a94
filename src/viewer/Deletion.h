#pragma once

namespace orv {

class App;
class TyakuForm;

// Removes the message of the selected row from the shown store, after asking.
void DeleteOne(App &app, TyakuForm &form);

// Removes every message of the shown store, after asking.
void DeleteAll(App &app, TyakuForm &form);

} // namespace orv
