#pragma once

#include "ui/Services.h"

#include <random>

namespace orv {

class QtMessageBoxes : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget *parent, const MessageBoxRequest &request) override;
};

class QtFileDialogs : public FileDialogs {
public:
    QString openFileName(QWidget *parent, const FileDialogRequest &request) override;
    QString saveFileName(QWidget *parent, const FileDialogRequest &request) override;
};

class DesktopBrowser : public Browser {
public:
    void open(const QUrl &url) override;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Seeded from the time of day, as a fortune should be.
class TimeSeededRandom : public RandomSource {
public:
    TimeSeededRandom();
    int bounded(int bound) override;

private:
    std::mt19937 m_engine;
};

} // namespace orv
