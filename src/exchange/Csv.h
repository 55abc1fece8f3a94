#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The syntax of comma-separated values (RFC 4180) as spreadsheets and mail programs write
// it, and the guard that keeps a spreadsheet from running a value as a formula.
namespace orv::exchange::csv {

struct Record {
    QStringList fields;
    int line = 0;       // the line the record starts on (1-based)
    QString text;       // the record as it stands in the file, for telling the user
    bool closed = true; // false when the file ends inside a quoted field
};

// Records separated by CR LF, LF or CR; quoted fields may hold commas, doubled quotes and
// line breaks. Empty lines are no records.
std::vector<Record> records(const QString &text);

// `value` as one field: quoted when it holds a comma, a quote or a line break.
QString field(const QString &value);

// A value that a spreadsheet would run as a formula (it begins with "=", "+", "-" or "@")
// gets a leading "'". So does a value that would read back as such a guarded one, so that
// unguarded() gives every value back exactly.
QString guarded(const QString &value);
QString unguarded(const QString &value);

} // namespace orv::exchange::csv
