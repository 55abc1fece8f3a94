#include "composer/AttachmentPanel.h"

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
    m_command9->setEnabled(true);
    if (const QString path = pickFile(); !path.isEmpty()) {
        m_attachText->setText(path);
        m_list2->addItem(path);
    }
    m_attachCommand->setEnabled(false);
}

void AttachmentPanel::addAnother()
{
    m_list2->show();
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
    m_command9->setEnabled(false);
    m_list2->hide();
    m_attachCommand->setEnabled(true);
}

} // namespace orv
