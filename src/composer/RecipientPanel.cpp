#include "composer/RecipientPanel.h"

#include "core/Cp932.h"
#include "store/AddressStore.h"
#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/ClickKeys.h"
#include "ui/Controls.h"
#include "ui/Twips.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>

namespace orv {

namespace {

const QColor kBulkColour(0, 128, 0);
const QColor kSingleColour(255, 255, 255);

QLabel *caption(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    return label;
}

} // namespace

void PickList::mousePressEvent(QMouseEvent *event)
{
    QListWidget::mousePressEvent(event);
    emit picked();
}

void PickList::keyPressEvent(QKeyEvent *event)
{
    if (takeClickKey(event))
        emit picked();
    else
        QListWidget::keyPressEvent(event);
}

RecipientPanel::RecipientPanel(App &app, QWidget *parent)
    : QFrame(parent), m_app(app), m_list1(namedControl<PickList>(QStringLiteral("List1"), this)),
      m_text1(namedControl<QLineEdit>(QStringLiteral("Text1"), this)),
      m_frame4(namedControl<QFrame>(QStringLiteral("Frame4"), this)),
      m_option1(
          namedControl<QRadioButton>(QStringLiteral("Option1"), QStringLiteral("取消"), m_frame4)),
      m_option2(namedControl<QRadioButton>(QStringLiteral("Option2"), QStringLiteral("一括送信"),
                                           m_frame4))
{
    setObjectName(QStringLiteral("Picture5"));
    setFrameShape(QFrame::StyledPanel);
    caption(QStringLiteral("アドレス帳"), this, twipsRect(60, 30, 2280, 300))
        ->setAlignment(Qt::AlignCenter);
    m_list1->setGeometry(twipsRect(60, 360, 2280, 5520));
    m_list1->setAutoFillBackground(true);
    caption(QStringLiteral("件数"), this, twipsRect(60, 5970, 600, 300));
    m_text1->setGeometry(twipsRect(700, 5950, 1000, 330));
    m_text1->setReadOnly(true);
    m_text1->setAlignment(Qt::AlignRight);
    m_frame4->setGeometry(twipsRect(60, 6400, 2280, 800));
    m_frame4->setFrameShape(QFrame::StyledPanel);
    m_option2->setGeometry(twipsRect(100, 60, 2000, 300));
    m_option1->setGeometry(twipsRect(100, 420, 2000, 300));
    showBulkColour(false);
    nameControls({{m_list1, QStringLiteral("アドレス帳")}, {m_text1, QStringLiteral("件数")}});

    connect(m_list1, &PickList::picked, this, &RecipientPanel::pick);
    connect(m_option2, &QRadioButton::clicked, this, [this] { showBulkColour(true); });
    connect(m_option1, &QRadioButton::clicked, this, [this] {
        emit bulkCancelled();
        showBulkColour(false);
    });
}

Status RecipientPanel::fillFromAddressMaster()
{
    std::vector<AddressRecord> records;
    const Status read = AddressMaster(m_app.appDir()).ReadAll(records);
    fill(std::move(records));
    return read;
}

Status RecipientPanel::fillFromAddressStore()
{
    AddressStore store(m_app.appDir());
    std::vector<AddressRecord> records;
    const Status read = store.ReadAll(records);
    fill(std::move(records));
    watchAddressStore(store.filePath());
    return read;
}

// A contact registered or deleted in the address book window shows here at once. The
// folder is watched too: a deletion replaces the file, and a first entry creates it.
void RecipientPanel::watchAddressStore(const QString &path)
{
    if (!m_addressStoreWatcher) {
        m_addressStoreWatcher = new QFileSystemWatcher(this);
        const auto reload = [this] { (void)fillFromAddressStore(); };
        connect(m_addressStoreWatcher, &QFileSystemWatcher::fileChanged, this, reload);
        connect(m_addressStoreWatcher, &QFileSystemWatcher::directoryChanged, this, reload);
        m_addressStoreWatcher->addPath(QFileInfo(path).absolutePath());
    }
    if (QFileInfo::exists(path) && !m_addressStoreWatcher->files().contains(path))
        m_addressStoreWatcher->addPath(path);
}

void RecipientPanel::fill(std::vector<AddressRecord> records)
{
    m_rows = recipientRows(records);
    showNames();
    m_text1->setText(QString::number(m_rows.size()));
}

void RecipientPanel::showNames()
{
    m_list1->clear();
    const QStringList addresses = bulkRecipients(m_rows);
    QStringList names;
    names.reserve(static_cast<qsizetype>(m_rows.size()));
    for (size_t row = 0; row < m_rows.size(); ++row) {
        const bool unsent = m_unsent.contains(addresses.at(static_cast<qsizetype>(row)));
        names.append(unsent ? unsentMark() + m_rows[row].name() : m_rows[row].name());
    }
    m_list1->addItems(names);
}

void RecipientPanel::markUnsent(const QStringList &addresses)
{
    m_unsent = addresses;
    showNames();
}

void RecipientPanel::pick()
{
    const int row = m_list1->currentRow();
    const bool selected = row >= 0 && m_list1->item(row)->isSelected();
    if (!selected) {
        m_app.showMessage(window(), {QStringLiteral("データが選択されていません"), QString(),
                                     QMessageBox::Ok, QMessageBox::Warning});
        m_list1->setFocus();
        return;
    }
    emit recipientPicked(trimBlanks(m_rows[static_cast<std::size_t>(row)].record.address()));
}

bool RecipientPanel::isBulk() const
{
    return m_option2->isChecked();
}

void RecipientPanel::clearBulk()
{
    if (!m_option2->isChecked())
        return;
    m_option2->setAutoExclusive(false);
    m_option2->setChecked(false);
    m_option2->setAutoExclusive(true);
}

void RecipientPanel::showBulkColour(bool bulk)
{
    QPalette colours = m_list1->palette();
    colours.setColor(QPalette::Base, bulk ? kBulkColour : kSingleColour);
    colours.setColor(QPalette::Text, bulk ? Qt::white : Qt::black);
    m_list1->setPalette(colours);
    // The window's style sheet would paint over the palette alone.
    m_list1->setStyleSheet(
        bulk ? QStringLiteral("QListWidget { background: rgb(0, 128, 0); "
                              "color: white; }")
             : QStringLiteral("QListWidget { background: white; color: black; }"));
}

} // namespace orv
