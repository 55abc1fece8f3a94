#include "composer/AttachmentPanel.h"

#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/Controls.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace orv {

QString withAttachment(const QString &attachmentList, const QString &path)
{
    return attachmentList.isEmpty() ? path : attachmentList + u',' + path;
}

bool isAttachablePath(const QString &path)
{
    return !path.contains(u',');
}

AttachmentPanel::AttachmentPanel(App &app, QWidget *window, const QString &attachCaption,
                                 AddButton addButton)
    : QObject(window), m_app(app), m_window(window),
      m_attachCommand(
          namedControl<QPushButton>(QStringLiteral("AttachCommand"), attachCaption, window)),
      m_attachText(namedControl<QLineEdit>(QStringLiteral("AttachText"), window)),
      m_command9(
          namedControl<QPushButton>(QStringLiteral("Command9"), QStringLiteral("追加"), window)),
      m_command10(namedControl<QPushButton>(QStringLiteral("Command10"), QStringLiteral("取り消し"),
                                            window)),
      m_list2(namedControl<QListWidget>(QStringLiteral("List2"), window))
{
    m_command9->setEnabled(addButton == AddButton::StartsEnabled);
    m_list2->hide();
    nameControls({{m_attachText, QStringLiteral("添付ファイル")},
                  {m_list2, QStringLiteral("添付ファイルの一覧")}});
    connect(m_attachCommand, &QPushButton::clicked, this, &AttachmentPanel::attachFirst);
    connect(m_command9, &QPushButton::clicked, this, &AttachmentPanel::addAnother);
    connect(m_command10, &QPushButton::clicked, this, &AttachmentPanel::dropAll);
}

QString AttachmentPanel::attachmentList() const
{
    return m_attachText->text();
}

void AttachmentPanel::attachFirst()
{
    if (!mayReplaceAttachments())
        return;
    m_command9->setEnabled(true);
    if (const QString path = pickFile(); !path.isEmpty()) {
        m_attachText->setText(path);
        m_list2->clear();
        m_list2->addItem(path);
    }
    m_attachCommand->setEnabled(false);
}

bool AttachmentPanel::mayReplaceAttachments()
{
    const QString attached = m_attachText->text();
    if (attached.isEmpty())
        return true;
    const QString question =
        QStringLiteral("添付中のファイル（%1 件）があります。選んだファイルに置き換えますか？\n"
                       "ファイルを足すときは「追加」を使ってください。")
            .arg(attached.count(u',') + 1);
    return m_app.showMessage(m_window, {question, QString(), QMessageBox::Yes | QMessageBox::No,
                                        QMessageBox::Question, QMessageBox::No}) ==
           QMessageBox::Yes;
}

// The list lies over the body's top edge: it is raised whenever it shows.
void AttachmentPanel::showList()
{
    m_list2->show();
    m_list2->raise();
}

void AttachmentPanel::addAnother()
{
    showList();
    if (m_attachText->text().isEmpty())
        return;
    if (const QString path = pickFile(); !path.isEmpty())
        append(path);
}

void AttachmentPanel::append(const QString &path)
{
    m_attachText->setText(withAttachment(m_attachText->text(), path));
    m_list2->addItem(path);
}

QString AttachmentPanel::pickFile()
{
    const QString path = m_app.fileDialogs().openFileName(m_window, FileDialogRequest{});
    if (path.isEmpty())
        return QString();
    if (!isAttachablePath(path)) {
        m_app.showMessage(m_window,
                          {QStringLiteral("「%1」は名前に「,」（カンマ）を含むため添付できません。"
                                          "ファイル名を変えてから、もう一度選んでください。")
                               .arg(path),
                           QString(), QMessageBox::Ok, QMessageBox::Warning});
        return QString();
    }
    return path;
}

void AttachmentPanel::dropAll()
{
    m_attachText->clear();
    m_list2->clear();
    m_list2->hide();
    m_command9->setEnabled(false);
    m_command10->setEnabled(false);
    m_attachCommand->setEnabled(true);
}

void AttachmentPanel::prepareForSend()
{
    m_beforeSend = {m_attachCommand->isEnabled(), m_command9->isEnabled(), m_command10->isEnabled(),
                    m_list2->isVisibleTo(m_window)};
    m_command9->setEnabled(false);
    m_list2->hide();
    m_attachCommand->setEnabled(true);
}

void AttachmentPanel::restoreAfterFailedSend()
{
    m_attachCommand->setEnabled(m_beforeSend.attachEnabled);
    m_command9->setEnabled(m_beforeSend.addEnabled);
    m_command10->setEnabled(m_beforeSend.dropEnabled);
    if (m_beforeSend.listShown)
        showList();
}

} // namespace orv
