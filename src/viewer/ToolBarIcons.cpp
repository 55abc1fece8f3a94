#include "viewer/ToolBarIcons.h"

#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QWidget>

#include <functional>
#include <map>

namespace orv {

namespace {

QIcon letterIcon(const QString &letter, const QFont &font)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont drawn = font;
    drawn.setPixelSize(24);
    painter.setFont(drawn);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, letter);
    return QIcon(pixmap);
}

QFont styled(bool bold, bool italic, bool underline)
{
    QFont font;
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

} // namespace

QIcon toolBarIcon(const QWidget &toolBar, const QString &key)
{
    const QStyle &style = *toolBar.style();
    // Each fallback is made only when it is needed: drawing a letter loads a font.
    using Fallback = std::function<QIcon()>;
    const auto standard = [&style](QStyle::StandardPixmap pixmap) -> Fallback {
        return [&style, pixmap] { return style.standardIcon(pixmap); };
    };
    const auto letter = [](const char *text, QFont font = QFont()) -> Fallback {
        return [text, font] { return letterIcon(QString::fromUtf8(text), font); };
    };
    const std::map<QString, std::pair<const char *, Fallback>> icons = {
        {QStringLiteral("New"), {"document-new", standard(QStyle::SP_FileIcon)}},
        {QStringLiteral("Open"), {"document-open", standard(QStyle::SP_DialogOpenButton)}},
        {QStringLiteral("Save"), {"document-save-as", standard(QStyle::SP_DialogSaveButton)}},
        {QStringLiteral("Print"), {"document-print", letter("印")}},
        {QStringLiteral("Cut"), {"edit-cut", letter("切")}},
        {QStringLiteral("Copy"), {"edit-copy", letter("写")}},
        {QStringLiteral("Paste"), {"edit-paste", letter("貼")}},
        {QStringLiteral("Bold"), {"format-text-bold", letter("B", styled(true, false, false))}},
        {QStringLiteral("Italic"), {"format-text-italic", letter("I", styled(false, true, false))}},
        {QStringLiteral("Underline"),
         {"format-text-underline", letter("U", styled(false, false, true))}},
    };
    const auto it = icons.find(key);
    if (it == icons.end())
        return {};
    const QString themeName = QLatin1String(it->second.first);
    return QIcon::hasThemeIcon(themeName) ? QIcon::fromTheme(themeName) : it->second.second();
}

} // namespace orv
