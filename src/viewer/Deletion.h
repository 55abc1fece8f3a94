#pragma once

namespace orv {

class App;
class TyakuForm;

// Removes the message of the selected row from the shown store, after asking.
void deleteOne(App &app, TyakuForm &form);

// Removes every message of the shown store, after asking.
void deleteAll(App &app, TyakuForm &form);

} // namespace orv
