#include "ui/QtServices.h"

#include <QDesktopServices>
#include <QFileDialog>

namespace orv {

QMessageBox::StandardButton QtMessageBoxes::show(QWidget *parent, const MessageBoxRequest &request)
{
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString QtFileDialogs::openFileName(QWidget *parent, const FileDialogRequest &request)
{
    return QFileDialog::getOpenFileName(parent, QString(), QString(), request.filter);
}

QString QtFileDialogs::saveFileName(QWidget *parent, const FileDialogRequest &request)
{
    QFileDialog::Options options;
    if (!request.confirmOverwrite)
        options |= QFileDialog::DontConfirmOverwrite;
    return QFileDialog::getSaveFileName(parent, QString(), QString(), request.filter, nullptr,
                                        options);
}

void DesktopBrowser::open(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

TimeSeededRandom::TimeSeededRandom()
    : m_engine(static_cast<std::mt19937::result_type>(QTime::currentTime().msecsSinceStartOfDay()))
{
}

int TimeSeededRandom::bounded(int bound)
{
    std::uniform_int_distribution<int> distribution(0, bound - 1);
    return distribution(m_engine);
}

} // namespace orv
