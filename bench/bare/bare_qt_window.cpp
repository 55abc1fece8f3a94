// The yardstick of startup_bench: a bare Qt window with twelve labels, nothing else. Like
// the program under ORVAINE_QUIT_WHEN_SHOWN, it ends right after its window has painted once,
// without tearing down.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdlib>

namespace {

class QuitWhenPainted : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(
                qApp, [] { std::_Exit(0); }, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    auto *layout = new QVBoxLayout(&window);
    for (int index = 1; index <= 12; ++index)
        layout->addWidget(new QLabel(QStringLiteral("Label %1").arg(index), &window));
    QuitWhenPainted quitWhenPainted;
    window.installEventFilter(&quitWhenPainted);
    window.show();
    return application.exec();
}
