#include "emoticons/EmoticonPages.h"

#include "core/Cp932.h"
#include "core/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orv {

namespace {

const QString kFolder = QStringLiteral("\\顔文字データ");
const QString kCrLf = QStringLiteral("\r\n");

} // namespace

const std::array<EmoticonPage, kEmoticonPageCount> &emoticonPages()
{
    static const std::array<EmoticonPage, kEmoticonPageCount> pages = {{
        {u"顔文字", u"Kao1", u"Kao1.txt", u"Command1", u"Command2", u"Command27"},
        {u"飾りライン・抽象画", u"Text1", u"Text1.txt", u"Command4", u"Command3", u"Command28"},
        {u"顔", u"Text2", u"Text2.txt", u"Command5", u"Command6", u"Command29"},
        {u"春夏秋冬、年中行事", u"Text3", u"Text3.txt", u"Command7", u"Command8", u"Command30"},
        {u"干支、星座、その他", u"Text4", u"Text4.txt", u"Command10", u"Command9", u"Command31"},
        {u"乗り物、機械、昆虫、花", u"Text5", u"Text5.txt", u"Command11", u"Command12",
         u"Command32"},
        {u"飲物、食べ物", u"Text6", u"Text6.txt", u"Command14", u"Command13", u"Command33"},
        {u"衣料、雑貨、ゲーム、スポーツ", u"Text7", u"Text7.txt", u"Command15", u"Command16",
         u"Command34"},
        {u"SF、場所、音楽", u"Text8", u"Text8.txt", u"Command18", u"Command17", u"Command35"},
        {u"その他", u"Text9", u"Text9.txt", u"Command19", u"Command20", u"Command25"},
        {u"動物、その他", u"Text10", u"Text10.txt", u"Command22", u"Command21", u"Command26"},
        {u"○お気に入り", u"Text11", u"Text11.txt", u"Command23", u"Command24", nullptr},
    }};
    return pages;
}

QString pageLoadPath(const EmoticonPage &page)
{
    return kFolder + u'\\' + QString::fromUtf16(page.fileName);
}

QString pageSavePath(const EmoticonPage &page)
{
    QString name = QString::fromUtf16(page.fileName);
    if (name.startsWith(u'T'))
        name[0] = u't';
    return kFolder + u'\\' + name;
}

QString pageTextFromBytes(const QByteArray &bytes, bool *valid)
{
    QString text = cp932::decode(bytes);
    // No character of code page 932 decodes to U+FFFD, so one means a byte sequence that
    // is not code page 932.
    if (valid)
        *valid = !text.contains(QChar::ReplacementCharacter);
    if (text.endsWith(kCrLf))
        text.chop(kCrLf.size());
    return text;
}

QByteArray pageBytesFromText(const QString &text)
{
    QString lines = text;
    lines.replace(kCrLf, QStringLiteral("\n"));
    lines.replace(u'\n', kCrLf);
    return cp932::encode(lines + kCrLf);
}

LoadedPage loadPage(const AppDir &appDir, const EmoticonPage &page)
{
    LoadedPage loaded;
    const QString path = appDir.resolve(pageLoadPath(page));
    if (!QFileInfo::exists(path))
        return loaded;
    loaded.state = LoadedPage::State::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        loaded.error = fileFailure(path, QStringLiteral("読み込み"), file.errorString()).error();
        return loaded;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        loaded.error = fileFailure(path, QStringLiteral("読み込み"), file.errorString()).error();
        return loaded;
    }
    bool valid = false;
    loaded.text = pageTextFromBytes(bytes, &valid);
    if (!valid) {
        loaded.error = fileFailure(path, QStringLiteral("読み込み"),
                                   QStringLiteral("シフトJISではない文字を含んでいます"))
                           .error();
        return loaded;
    }
    loaded.state = LoadedPage::State::Loaded;
    return loaded;
}

Status savePage(const AppDir &appDir, const EmoticonPage &page, const QString &text)
{
    const QString folder = appDir.resolve(kFolder);
    if (!QDir().mkpath(folder))
        return fileFailure(folder, QStringLiteral("作成"), QStringLiteral("フォルダを作れません"));
    return writeFileAtomically(appDir.resolve(pageSavePath(page)), pageBytesFromText(text));
}

} // namespace orv
