#pragma once

#include "emoticons/EmoticonPages.h"
#include "emoticons/KaoForm.h"
#include "shell/MainForm.h"
#include "support/TestApp.h"
#include "support/Widgets.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace orv::test {

// The palette on a fresh program whose "\顔文字データ" holds the installed pages.
class PaletteTest : public ::testing::Test {
protected:
    PaletteTest() { MainForm::bindWindowRoles(t.app->forms()); }

    void TearDown() override
    {
        EXPECT_TRUE(t.messageBoxes->answers.empty()) << "unused message box answers";
    }

    KaoForm &palette() { return *t.app->forms().get<KaoForm>(); }
    QPlainTextEdit *box(int page) { return palette().box(page); }
    QString boxText(int page) { return box(page)->toPlainText(); }
    void click(const char16_t *button)
    {
        control<QPushButton>(&palette(), QString::fromUtf16(button))->click();
    }
    void closePalette()
    {
        palette().close();
        ASSERT_FALSE(t.app->forms().isLoaded<KaoForm>());
    }

    static QString pagePath(int page) { return pageLoadPath(emoticonPages()[page]); }
    QByteArray pageFile(int page) const { return t.folder.readBytes(pagePath(page)); }
    void writePageFile(int page, const QByteArray &bytes)
    {
        t.folder.writeBytes(pagePath(page), bytes);
    }

    // Selects characters [from, to) of a box, as a drag with the mouse would.
    static void select(QPlainTextEdit *box, int from, int to)
    {
        QTextCursor cursor(box->document());
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        box->setTextCursor(cursor);
    }

    TestApp t;
};

} // namespace orv::test
