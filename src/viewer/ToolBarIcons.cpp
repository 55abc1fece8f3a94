#include "viewer/ToolBarIcons.h"

#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QWidget>

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
    const std::map<QString, std::pair<const char *, QIcon>> icons = {
        {QStringLiteral("New"), {"document-new", style.standardIcon(QStyle::SP_FileIcon)}},
        {QStringLiteral("Open"), {"document-open", style.standardIcon(QStyle::SP_DialogOpenButton)}},
        {QStringLiteral("Save"), {"document-save-as", style.standardIcon(QStyle::SP_DialogSaveButton)}},
        {QStringLiteral("Print"), {"document-print", letterIcon(QStringLiteral("印"), QFont())}},
        {QStringLiteral("Cut"), {"edit-cut", letterIcon(QStringLiteral("切"), QFont())}},
        {QStringLiteral("Copy"), {"edit-copy", letterIcon(QStringLiteral("写"), QFont())}},
        {QStringLiteral("Paste"), {"edit-paste", letterIcon(QStringLiteral("貼"), QFont())}},
        {QStringLiteral("Bold"), {"format-text-bold", letterIcon(QStringLiteral("B"), styled(true, false, false))}},
        {QStringLiteral("Italic"), {"format-text-italic", letterIcon(QStringLiteral("I"), styled(false, true, false))}},
        {QStringLiteral("Underline"), {"format-text-underline", letterIcon(QStringLiteral("U"), styled(false, false, true))}},
    };
    const auto it = icons.find(key);
    if (it == icons.end())
        return {};
    return QIcon::fromTheme(QLatin1String(it->second.first), it->second.second);
}

} // namespace orv
