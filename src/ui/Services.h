#pragma once

#include <QDateTime>
#include <QMessageBox>
#include <QString>
#include <QUrl>

class QPrinter;
class QWidget;

namespace orv {

// Everything modal or external goes through these seams: the running program uses the Qt
// implementations, tests script the answers.

struct MessageBoxRequest {
    QString text;
    QString title;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // The button Enter chooses; none leaves it to the platform.
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows the box modally and returns the button the user chose.
    virtual QMessageBox::StandardButton show(QWidget *parent, const MessageBoxRequest &request) = 0;
};

struct FileDialogRequest {
    QString filter; // Qt form, e.g. "txtファイル(*.txt *.ini)"
    bool confirmOverwrite = true;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen path, or a null string when the user cancelled.
    virtual QString openFileName(QWidget *parent, const FileDialogRequest &request) = 0;
    virtual QString saveFileName(QWidget *parent, const FileDialogRequest &request) = 0;
};

struct PrintChoice {
    bool accepted = false;
    bool printSelection = false;
    int copies = 1;
};

class PrintDialogs {
public:
    virtual ~PrintDialogs() = default;
    // Shows the print dialog for `printer`; `selectionAvailable` enables (and pre-selects)
    // the selection option.
    virtual PrintChoice choose(QWidget *parent, QPrinter &printer, bool selectionAvailable) = 0;
};

// The new-mail tune as an open/play/close device: the tune stays open until closed, and a
// play on an open device plays that device again.
class TunePlayer {
public:
    virtual ~TunePlayer() = default;
    // False when the device is already open or the file cannot be read.
    virtual bool open(const QString &path) = 0;
    virtual void play() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

class Browser {
public:
    virtual ~Browser() = default;
    virtual void open(const QUrl &url) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A number from 0 to bound - 1.
    virtual int bounded(int bound) = 0;
};

} // namespace orv
