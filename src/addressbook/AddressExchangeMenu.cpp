#include "addressbook/AddressExchangeMenu.h"

#include "addressbook/AddressBookRules.h"
#include "addressbook/AddressListView.h"
#include "addressbook/FriendForm.h"
#include "exchange/AddressExchange.h"
#include "ui/App.h"

#include <QAction>
#include <QLineEdit>

namespace orv {

namespace {

// A long refusal list would make a box taller than the screen.
constexpr qsizetype kRefusalsShown = 20;

const QString kAddressFiles = QStringLiteral("CSV(*.csv);;vCard(*.vcf *.vcard)");

void tell(App &app, FriendForm &form, const QString &text, QMessageBox::Icon icon)
{
    app.showMessage(&form, {text, {}, QMessageBox::Ok, icon});
}

} // namespace

void installAddressExchangeMenu(App &app, FriendForm &form)
{
    AddressListView *list = form.MailListView();
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto entry = [&](const char *name, const QString &caption,
                           void (*action)(App &, FriendForm &)) {
        auto *item = new QAction(caption, list);
        item->setObjectName(QLatin1String(name));
        QObject::connect(item, &QAction::triggered, &form,
                         [&app, &form, action] { action(app, form); });
        list->addAction(item);
    };
    entry("mhenkou", QStringLiteral("変更"), ChangeSelectedEntry);
    entry("mexportaddress", QStringLiteral("アドレス帳を書き出し (CSV/vCard)..."),
          ExportAddressBook);
    entry("mimportaddress", QStringLiteral("アドレス帳に取り込み (CSV/vCard)..."),
          ImportAddressBook);
}

void ExportAddressBook(App &app, FriendForm &form)
{
    const QString path = app.fileDialogs().saveFileName(&form, {kAddressFiles, true});
    if (path.isEmpty())
        return;
    AddressStore store(app.appDir());
    if (const Status written = exchange::exportAddresses(store, path); !written)
        tell(app, form, written.error(), QMessageBox::Critical);
    else
        tell(app, form, QStringLiteral("アドレス帳を書き出しました。"), QMessageBox::Information);
}

void ImportAddressBook(App &app, FriendForm &form)
{
    const QString path = app.fileDialogs().openFileName(
        &form, {QStringLiteral("アドレス帳(*.csv *.vcf *.vcard)"), false});
    if (path.isEmpty())
        return;
    AddressStore store(app.appDir());
    const exchange::AddressImportResult result = exchange::importAddresses(store, path);
    form.ReloadList();
    const bool clean = result.status && result.refused.isEmpty();
    tell(app, form, exchange::importReport(result, kRefusalsShown),
         clean ? QMessageBox::Information : QMessageBox::Warning);
}

void ChangeSelectedEntry(App &app, FriendForm &form)
{
    const int number = form.MailListView()->selectedRecordNumber();
    if (number < 1) {
        tell(app, form, QStringLiteral("変更する行をリストで選んで下さい。"), QMessageBox::NoIcon);
        return;
    }
    const QString name = form.Text2()->text();
    const QString address = form.Text4()->text();
    if (address.isEmpty()) {
        tell(app, form, QStringLiteral("メールアドレスが入力されていません"), QMessageBox::NoIcon);
        return;
    }
    if (const QString problem = registrationProblem(name, address); !problem.isEmpty()) {
        tell(app, form, problem, QMessageBox::NoIcon);
        return;
    }
    const Status written = AddressStore(app.appDir()).Rewrite(number, name, address);
    form.ReloadList();
    if (!written)
        tell(app, form, written.error(), QMessageBox::Critical);
}

} // namespace orv
