#include "addressbook/FriendForm.h"
#include "composer/BackForm.h"
#include "composer/WriteForm.h"
#include "emoticons/KaoForm.h"
#include "shell/IdPassForm.h"
#include "shell/MainForm.h"
#include "shell/OptionForm.h"
#include "shell/SetForm.h"
#include "support/KeyboardWalk.h"
#include "support/TestApp.h"
#include "viewer/HistoryView.h"
#include "viewer/TyakuForm.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace orv {
namespace {

// What a screen reader can land on: whatever Tab reaches, and the pictures and lists a user
// looks at. A label showing a message is none: its text is what it says. Parts of a compound
// control (a combo box's edit, a list's header) speak through it.
bool isControl(const QWidget *widget)
{
    if (qobject_cast<const QComboBox *>(widget->parentWidget()) ||
        qobject_cast<const QHeaderView *>(widget))
        return false;
    const bool takesTab = (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy();
    const auto *label = qobject_cast<const QLabel *>(widget);
    const auto *clickable = qobject_cast<const ClickableLabel *>(widget);
    return takesTab || (clickable && clickable->isCommand()) ||
           (label && !label->pixmap().isNull()) || qobject_cast<const QAbstractItemView *>(widget);
}

QString describe(const QWidget *widget)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QLatin1String(widget->metaObject()->className()), widget->objectName());
}

// Every control of `window` that is shown: its accessible name, and for a picture its
// description; a command label must read as a button.
QStringList unnamedControls(QWidget *window)
{
    QStringList faults;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(window) || !isControl(widget))
            continue;
        QAccessibleInterface *access = QAccessible::queryAccessibleInterface(widget);
        if (!access) {
            faults.append(describe(widget) + QStringLiteral(": no accessible interface"));
            continue;
        }
        if (access->text(QAccessible::Name).trimmed().isEmpty())
            faults.append(describe(widget) + QStringLiteral(": no name"));
        const auto *label = qobject_cast<const QLabel *>(widget);
        if (label && !label->pixmap().isNull() && access->text(QAccessible::Description).isEmpty())
            faults.append(describe(widget) + QStringLiteral(": a picture without description"));
        const auto *command = qobject_cast<const ClickableLabel *>(widget);
        if (command && command->isCommand() && access->role() != QAccessible::Button)
            faults.append(describe(widget) + QStringLiteral(": a command that is no button"));
    }
    return faults;
}

class EveryWindow : public ::testing::Test {
public:
    EveryWindow()
    {
        fixture.folder.writeBytes(QStringLiteral("\\korvel.ini"), "POP3=pop.example.jp\r\n");
        mainForm = std::make_unique<MainForm>(*fixture.app);
    }
    App &app() { return *fixture.app; }

    test::TestApp fixture;
    std::unique_ptr<MainForm> mainForm;
};

using Opener = std::function<QWidget *(EveryWindow &)>;

template <typename Form> QWidget *showForm(EveryWindow &t)
{
    return t.app().forms().show<Form>();
}

QWidget *mainWindow(EveryWindow &t)
{
    return t.mainForm.get();
}

QWidget *widenedComposeWindow(EveryWindow &t)
{
    WriteForm *form = t.app().forms().show<WriteForm>();
    form->findChild<QPushButton *>(QStringLiteral("Command4"))->click();
    return form;
}

QWidget *replyWindow(EveryWindow &t)
{
    OpenReply(t.app(), nullptr, QStringLiteral("会議"), QStringLiteral("a@example.jp"),
              QStringLiteral("本文"));
    return t.app().forms().get<BackForm>();
}

QWidget *receivedHistory(EveryWindow &t)
{
    OpenHistoryView(t.app(), ViewMode::Received);
    return t.app().forms().get<TyakuForm>();
}

TEST_F(EveryWindow, EveryControlHasANameAScreenReaderCanSay)
{
    const std::pair<const char *, Opener> windows[] = {
        {"MainForm", mainWindow},
        {"WriteForm", showForm<WriteForm>},
        {"WriteForm widened", widenedComposeWindow},
        {"BackForm", replyWindow},
        {"TyakuForm", receivedHistory},
        {"FriendForm", showForm<FriendForm>},
        {"KaoForm", showForm<KaoForm>},
        {"SetForm", showForm<SetForm>},
        {"OptionForm", showForm<OptionForm>},
        {"IdPassForm", showForm<IdPassForm>},
    };
    for (const auto &[name, open] : windows) {
        SCOPED_TRACE(name);
        QWidget *shown = open(*this);
        shown->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
        const QStringList faults = unnamedControls(shown);
        EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
    }
}

// A screen reader reads the help text as the control's description, and the keyboard
// shows the same text where the pointer shows it.
TEST_F(EveryWindow, TheHelpTextIsTheDescriptionAndShowsOnFocus)
{
    struct HelpedWindow {
        const char *name;
        Opener open;
        const char16_t *helpBox;
    };
    const HelpedWindow windows[] = {
        {"MainForm", mainWindow, u"Label2"},
        {"WriteForm", showForm<WriteForm>, u"Text14"},
        {"FriendForm", showForm<FriendForm>, u"Text5"},
        {"TyakuForm", receivedHistory, u"Text4"},
    };
    for (const HelpedWindow &window : windows) {
        SCOPED_TRACE(window.name);
        QWidget *shown = window.open(*this);
        ASSERT_TRUE(test::showActive(shown));
        QObject *helpBox = shown->findChild<QObject *>(QString::fromUtf16(window.helpBox));
        ASSERT_NE(helpBox, nullptr);
        const auto helpShown = [helpBox] {
            const QVariant text = helpBox->property("plainText");
            return text.isValid() ? text.toString() : helpBox->property("text").toString();
        };
        int helped = 0;
        for (int press = 0; press < 40; ++press) {
            const QString stop = test::tabWalk(shown, 1).constFirst();
            QWidget *focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr) << stop.toStdString();
            const QString description = focus->accessibleDescription();
            if (description.isEmpty())
                continue;
            ++helped;
            // A text box keeps its lines apart with LF alone, whatever the help text used.
            EXPECT_EQ(helpShown(),
                      QString(description).replace(QStringLiteral("\r\n"), QStringLiteral("\n")))
                << stop.toStdString();
        }
        EXPECT_GT(helped, 0) << "Tab reached no control with a help text";
        if (shown != mainForm.get())
            shown->close();
    }
}

} // namespace
} // namespace orv
