#include "ui/RunProgress.h"

#include "ui/App.h"

#include <QProgressDialog>

namespace orv {

namespace {

constexpr qint64 kRepaintIntervalMs = 100;

} // namespace

RunProgressWindow::RunProgressWindow(QWidget *parent, const QString &objectName,
                                     const QString &caption)
    : m_dialog(new QProgressDialog(caption, QStringLiteral("中止"), 0, 1, parent)),
      m_caption(caption)
{
    m_dialog->setObjectName(objectName);
    m_dialog->setWindowTitle(App::applicationTitle());
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    // The run decides when the window goes; a close box or Escape only asks it to stop.
    connect(m_dialog, &QProgressDialog::canceled, this, &RunProgressWindow::cancelRequested);
}

RunProgressWindow::~RunProgressWindow()
{
    close();
}

void RunProgressWindow::setProgress(int number, int count)
{
    if (!m_dialog)
        return;
    const bool atAnEnd = number <= 1 || number >= count;
    if (!atAnEnd && m_sinceRepaint.isValid() && m_sinceRepaint.elapsed() < kRepaintIntervalMs)
        return;
    m_dialog->setMaximum(qMax(count, 1));
    m_dialog->setValue(qBound(0, number - 1, qMax(count, 1)));
    m_dialog->setLabelText(QStringLiteral("%1 %2 / %3").arg(m_caption).arg(number).arg(count));
    m_dialog->show();
    m_sinceRepaint.start();
}

void RunProgressWindow::close()
{
    if (m_dialog) {
        m_dialog->hide();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
}

} // namespace orv
