#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QProgressDialog;
class QWidget;

namespace orv {

// The application-modal progress window of a network run ("caption i / N" with 中止).
// While it is up no other command can start; 中止 asks the run to stop, which the run does
// at the next point where stopping keeps everything whole.
class RunProgressWindow : public QObject {
    Q_OBJECT
public:
    RunProgressWindow(QWidget *parent, const QString &objectName, const QString &caption);
    ~RunProgressWindow() override;

    // Shows "caption number / count"; repaints at most every 100 ms except at the ends, and
    // an update that comes sooner is shown when the 100 ms are over.
    void setProgress(int number, int count);
    void close();

signals:
    void cancelRequested();

private:
    void repaint();

    QPointer<QProgressDialog> m_dialog;
    QTimer m_pending;
    int m_number = 0;
    int m_count = 0;
    QString m_caption;
    QElapsedTimer m_sinceRepaint;
};

} // namespace orv
