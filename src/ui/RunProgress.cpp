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
    m_pending.setSingleShot(true);
    connect(&m_pending, &QTimer::timeout, this, &RunProgressWindow::repaint);
}

RunProgressWindow::~RunProgressWindow()
{
    close();
}

void RunProgressWindow::setProgress(int number, int count)
{
    m_number = number;
    m_count = count;
    const bool atAnEnd = number <= 1 || number >= count;
    const qint64 sinceRepaint =
        m_sinceRepaint.isValid() ? m_sinceRepaint.elapsed() : kRepaintIntervalMs;
    if (atAnEnd || sinceRepaint >= kRepaintIntervalMs) {
        repaint();
        return;
    }
    if (!m_pending.isActive())
        m_pending.start(static_cast<int>(kRepaintIntervalMs - sinceRepaint));
}

void RunProgressWindow::repaint()
{
    m_pending.stop();
    if (!m_dialog)
        return;
    const int maximum = qMax(m_count, 1);
    m_dialog->setMaximum(maximum);
    m_dialog->setValue(qBound(0, m_number - 1, maximum));
    m_dialog->setLabelText(QStringLiteral("%1 %2 / %3").arg(m_caption).arg(m_number).arg(m_count));
    m_dialog->show();
    m_sinceRepaint.start();
}

void RunProgressWindow::close()
{
    m_pending.stop();
    if (m_dialog) {
        m_dialog->hide();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
}

} // namespace orv
