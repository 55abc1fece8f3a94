#include "ui/ClickableLabel.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTextDocument>
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

// The caption is drawn as a plain label draws it, without filling and laying out the text
// document that a label taking the focus keeps.
TEST(ClickableLabel, DrawsItsCaptionAsALabelDoesWithoutATextDocument)
{
    for (const Qt::Alignment alignment :
         {Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignRight | Qt::AlignVCenter}) {
        QWidget window;
        window.resize(200, 60);
        ClickableLabel command(QStringLiteral("  受信 Play"), &window);
        QLabel plain(QStringLiteral("  受信 Play"), &window);
        for (QLabel *label : {static_cast<QLabel *>(&command), &plain}) {
            label->setAlignment(alignment);
            label->resize(160, 22);
        }
        plain.move(0, 30);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        command.setFocus(Qt::TabFocusReason);
        window.setAttribute(Qt::WA_KeyboardFocusChange, false); // no focus frame in the picture
        EXPECT_EQ(command.grab().toImage(), plain.grab().toImage());
        for (const QTextDocument *document : command.findChildren<QTextDocument *>())
            EXPECT_TRUE(document->isEmpty());
    }
}

TEST(ClickableLabel, ItsPlateLightsUnderThePointerWhenEnabled)
{
    QWidget window;
    ClickableLabel label(QString(), &window);
    label.resize(60, 20);
    const QColor resting(20, 50, 90), lit(40, 110, 190);
    label.setPlate(resting, lit);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto plateColour = [&label] { return label.grab().toImage().pixelColor(30, 10); };
    label.setAttribute(Qt::WA_UnderMouse, false); // wherever the pointer was left
    EXPECT_EQ(plateColour(), resting);
    label.setAttribute(Qt::WA_UnderMouse, true);
    EXPECT_EQ(plateColour(), lit);
    label.setEnabled(false);
    EXPECT_EQ(plateColour(), resting);
}

} // namespace
} // namespace orv
