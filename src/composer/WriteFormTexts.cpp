#include "composer/WriteFormTexts.h"

namespace orv::writeform {

QString command1Help()
{
    return QStringLiteral(
        "送信します。電話回線が接続されていない場合は、自動的に接続してメールを送信"
        "します。");
}

QString command3Help()
{
    return QStringLiteral("送信を中止します。");
}

QString command4Help()
{
    return QStringLiteral(
        "このフォーム（新規作成）が拡張され、登録したメールアドレスの名称が一覧（リ"
        "スト）に現れます。送信したい名称をクリックすると、メールアドレスが自動的"
        "に入力されます。");
}

QString command5Help()
{
    return QStringLiteral("本ソフト、他のアプリからのテキスト文書を本文中に貼付けます。");
}

QString command6Help()
{
    return QStringLiteral("アドレス帳を含むサイズから、元のサイズに戻します。");
}

QString command7Help()
{
    return QStringLiteral("コピーして来た内容を宛先に貼付ます。");
}

QString command8Help()
{
    const QString crLf = QStringLiteral("\r\n");
    return QStringLiteral("顔・絵文字の本文への挿入を行います。") + crLf + crLf +
           QStringLiteral("使用方法：使用したい顔・絵文字をマウスで選択状態（青色反転）にし、「新規"
                          "作成本文に挿入」ボタンを。") +
           QStringLiteral("クリックしますと、本分中に挿入されます。") + crLf + crLf +
           QStringLiteral("素材の県名や氏名、電話番号はあなた用に変更してご使用下さい。画面を終了"
                          "させると自動的に保存されます。") +
           crLf +
           QStringLiteral("上手な使用方法：素材が豊富ですので、お気に入りに追加しておいた方が良いで"
                          "しょう。") +
           crLf +
           QStringLiteral("お気に入りに追加（注意:IEではありません）する場合も、マウスで選択状態に"
                          "し、顔・絵文字画面での「お気に入りに追加」ボタンをクリックして下さい。");
}

QString command9Help()
{
    return QStringLiteral("添付ファイルを複数送信する際に使用します。確認しやすいように、リストボッ"
                          "クスが表示されます。");
}

QString command11Help()
{
    return QStringLiteral("宛先、件名、本文他、設定等が初期状態に戻せます。");
}

QString attachCommandHelp()
{
    return QStringLiteral("各種ファイルを添付して送信できます。");
}

} // namespace orv::writeform
