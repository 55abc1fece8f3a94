#include "viewer/HelpTexts.h"

namespace orv::viewer {

QString command1Help()
{
    return QStringLiteral(
        "本文以外のコピーに使用します。「Subject」「From」「Date」に表示されるデータをコピーします"
        "（貼り付けはメニューバー、ツールバーで出来ます）。Body（本文）はメニューバー、ツールバーか"
        "ら"
        "コピー・貼り付けが出来ます。\r\n\r\n"
        " 本文への貼り付け（あるいは本ソフトでの貼り付け機能がある部分）、他のアプリケーションへの"
        "貼り付けが可能です。\r\n\r\n"
        "コピーされる内容は右の欄に反映されます。");
}

QString command2Help()
{
    return QStringLiteral(
        "選択したデータをテキスト形式で本ソフト内の「TextQuickSave」フォルダ内に「Subject」「From」"
        "「Date」「Boby」で保存します。ファイル名は「Subject」が自動的に当てられます。同名のファイ"
        "ルが"
        "既に存在する場合は警告メッセージを出します。");
}

QString command3Help()
{
    return QStringLiteral("受信したメールを１件ずつ削除します。リストでメールを選択（クリック）して"
                          "から実行して下さい。");
}

QString command4Help()
{
    return QStringLiteral("受信したメールをアドレス帳に登録します。リストからメールを選択（クリック"
                          "）してから実行して下さい。");
}

QString command5Help()
{
    return QStringLiteral("受信したメールに返事を出します。リストからメールを選択（クリック）してか"
                          "ら実行して下さい。");
}

QString command6Help()
{
    return QStringLiteral("受信したメール全件削除します。");
}

QString text1Help()
{
    return QStringLiteral(
        "検索したい文字を入力し、メニューバーから「検索」「次を検索」を選択し、検索したい文字を"
        "本文中(body)から検索します。");
}

} // namespace orv::viewer
