#pragma once

#include <QString>

namespace orv {

class App;
class TyakuForm;

// The shown message as text: "Subject:", "From:", "Date:" and "Body:", each followed by
// two spaces and its field.
struct HeaderFields {
    QString subject;
    QString from;
    QString date;
    QString body;
};
// As a file: four lines, each ended by CR LF.
QString headerBlockForFile(const HeaderFields &fields);
// As editor text: the four parts joined by CR LF, nothing after the body.
QString headerBlockForEditor(const HeaderFields &fields);
HeaderFields shownHeaderFields(const TyakuForm &form);

// The quick-save file name for a subject: characters that cannot stand in a file name
// become "_", so the file always lands in the quick-save folder.
QString quickSaveFileName(const QString &subject);

// Saves the shown message in the quick-save folder under its subject.
void quickSave(App &app, TyakuForm &form);

// Puts the copy field on the clipboard.
void copyField(TyakuForm &form);

} // namespace orv
