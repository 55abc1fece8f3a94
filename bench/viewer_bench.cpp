// End-to-end timings of the history viewer on a full received store (32,767 records,
// about 1.06 GB): a click on the main window's received-history label until the viewer
// shows every row, one row click, one delete in the middle answered Yes, and the peak
// memory. Prints name=value lines. The store is written into a temporary program folder,
// so it is still in the page cache when the view opens, and removed at the end.

#include "shell/MainForm.h"
#include "shell/Startup.h"
#include "store/Settings.h"
#include "support/HistoryBench.h"
#include "transport/MailLibrary.h"
#include "transport/MailLibraryFactory.h"
#include "ui/App.h"
#include "ui/AppState.h"
#include "ui/QtServices.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

using namespace orv;
using bench::kFullStoreRecords;
using bench::writeFullReceivedStore;

constexpr int kRecords = kFullStoreRecords;

class AnswerYes : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget *, const MessageBoxRequest &request) override
    {
        if (request.buttons != (QMessageBox::Yes | QMessageBox::No))
            std::fprintf(stderr, "unexpected message: %s\n", qPrintable(request.text));
        return QMessageBox::Yes;
    }
};

double elapsedMs(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void clickAt(QWidget *widget, const QPoint &point)
{
    const QPointF local(point);
    const QPointF global(widget->mapToGlobal(point));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

void clickRow(TyakuForm &form, int row)
{
    MailListView *view = form.mailListView();
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    clickAt(view->viewport(), view->visualRect(index).center());
}

// CPU time of this thread: on a busy machine the wall time also counts waiting for a core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

long peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("★MAilData"));
    const QString store = folder.path() + QStringLiteral("/★MAilData/krvdata2.data");
    if (!folder.isValid() || !writeFullReceivedStore(store)) {
        std::fprintf(stderr, "cannot write the store\n");
        return EXIT_FAILURE;
    }

    Services services;
    services.messageBoxes = std::make_unique<AnswerYes>();
    services.clock = std::make_unique<SystemClock>();
    services.mail = createMailLibrary([] { return std::pair{QString(), QString()}; });
    App app(AppDir(folder.path()), std::move(services));
    // A POP3 server keeps the start-up from asking for the settings.
    const Status saved =
        SaveSettings(app.appDir(), {QStringLiteral("localhost"), QStringLiteral("localhost"),
                                    QStringLiteral("me@example.jp"), 0});
    if (!saved) {
        std::fprintf(stderr, "cannot write the settings: %s\n", qPrintable(saved.error()));
        return EXIT_FAILURE;
    }

    MainForm mainForm(app);
    wireMainForm(app, mainForm);
    mainForm.show();
    mainForm.repaint();
    auto *receivedLabel = mainForm.findChild<QWidget *>(QStringLiteral("Label7"));

    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = threadCpuMs();
    clickAt(receivedLabel, QPoint(5, 5));
    TyakuForm &form = *app.forms().get<TyakuForm>();
    form.repaint();
    const double openMs = elapsedMs(timer);
    const double openCpuMs = threadCpuMs() - cpuBefore;
    const int rows = form.mailListView()->model()->rowCount();

    timer.restart();
    form.mailListView()->scrollToBottom();
    form.mailListView()->viewport()->repaint();
    const double scrollMs = elapsedMs(timer);

    const int middle = kRecords / 2;
    timer.restart();
    clickRow(form, middle);
    const double clickMs = elapsedMs(timer);

    timer.restart();
    form.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    const double deleteMs = elapsedMs(timer);
    const int rowsAfterDelete = form.mailListView()->model()->rowCount();

    std::printf("rows=%d\n", rows);
    std::printf("open_view_ms=%.1f\n", openMs);
    std::printf("open_view_cpu_ms=%.1f\n", openCpuMs);
    std::printf("scroll_to_end_ms=%.1f\n", scrollMs);
    std::printf("click_row_ms=%.1f\n", clickMs);
    std::printf("delete_one_ms=%.1f\n", deleteMs);
    std::printf("rows_after_delete=%d\n", rowsAfterDelete);
    std::printf("peak_rss_mb=%ld\n", peakRssMb());
    app.forms().unloadAll();
    return rows == kRecords && rowsAfterDelete == kRecords - 1 ? EXIT_SUCCESS : EXIT_FAILURE;
}
