#include "ui/ClickableLabel.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace orv {
namespace {

struct Gesture {
    const char *name;
    void (*perform)(ClickableLabel &label);
    int clicks;
    int doubleClicks;
};

// A double click as a mouse makes it: through the window, where Qt turns the second press
// into a double click (press, release, press, double click, release).
void doubleClick(ClickableLabel &label, Qt::MouseButton button = Qt::LeftButton)
{
    const QPoint at = label.mapTo(label.window(), label.rect().center());
    QTest::mouseDClick(label.window()->windowHandle(), button, {}, at);
}

const Gesture kGestures[] = {
    {"click", [](ClickableLabel &label) { QTest::mouseClick(&label, Qt::LeftButton); }, 1, 0},
    {"double click", [](ClickableLabel &label) { doubleClick(label); }, 1, 1},
    {"double click then click",
     [](ClickableLabel &label) {
         doubleClick(label);
         QTest::mouseClick(&label, Qt::LeftButton);
     },
     2, 1},
    {"right double click", [](ClickableLabel &label) { doubleClick(label, Qt::RightButton); }, 0,
     0},
};

TEST(ClickableLabel, ADoubleClickReportsOneClickAndOneDoubleClick)
{
    for (const Gesture &gesture : kGestures) {
        SCOPED_TRACE(gesture.name);
        QWidget window;
        window.resize(200, 100);
        ClickableLabel label(QStringLiteral("受信"), &window);
        label.setGeometry(10, 10, 120, 30);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicks(&label, &ClickableLabel::clicked);
        QSignalSpy doubleClicks(&label, &ClickableLabel::doubleClicked);
        gesture.perform(label);
        EXPECT_EQ(clicks.count(), gesture.clicks);
        EXPECT_EQ(doubleClicks.count(), gesture.doubleClicks);
    }
}

TEST(ClickableLabel, ADisabledLabelReportsNothing)
{
    QWidget window;
    ClickableLabel label(QStringLiteral("Stop"), &window);
    label.setEnabled(false);
    window.show();
    QSignalSpy clicks(&label, &ClickableLabel::clicked);
    QSignalSpy doubleClicks(&label, &ClickableLabel::doubleClicked);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    doubleClick(label);
    EXPECT_EQ(clicks.count() + doubleClicks.count(), 0);
}

} // namespace
} // namespace orv
