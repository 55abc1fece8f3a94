#include "ViewerFixture.h"

#include "viewer/HistoryView.h"

#include <QDir>

namespace orv::test {
namespace {

// Renders the received view as a user sees it, for a look at the layout and the Japanese text.
TEST_F(ViewerTest, RendersTheReceivedViewWithJapaneseText)
{
    t.folder.writeBytes(
        kReceivedStore,
        storeBytes(
            {mailRecord(QStringLiteral("会議のお知らせ"),
                        QStringLiteral("山田 <yamada@example.jp>"),
                        QStringLiteral("Wed, 09 Dec 2026 10:00:00 +0900"),
                        QStringLiteral("明日の会議は十時からです。\r\nよろしくお願いします。")),
             numberedRecord(2)}));
    OpenHistoryView(app(), ViewMode::Received);
    form().resize(900, 640);
    const QPixmap shot = form().grab();
    const QString folder =
        QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/../screenshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(shot.save(folder + QStringLiteral("/TyakuForm.png")));
    EXPECT_EQ(text("Text2"), QStringLiteral("2"));
}

} // namespace
} // namespace orv::test
