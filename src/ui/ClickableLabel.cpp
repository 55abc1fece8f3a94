#include "ui/ClickableLabel.h"

#include "ui/ClickKeys.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QStyleOption>

#include <utility>

namespace orv {

namespace {

// What a screen reader hears: a command label is a button named by its caption (without the
// blanks that place it), pressed as a click presses it; any other clickable label is text.
class AccessibleClickableLabel : public QAccessibleWidget {
public:
    explicit AccessibleClickableLabel(ClickableLabel *label) : QAccessibleWidget(label) {}

    QAccessible::Role role() const override
    {
        return label()->isCommand() ? QAccessible::Button : QAccessible::StaticText;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && label()->accessibleName().isEmpty())
            return label()->text().trimmed();
        if (kind == QAccessible::Accelerator)
            return label()->shortcut().toString(QKeySequence::NativeText);
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override
    {
        if (!label()->isCommand())
            return QAccessibleWidget::actionNames();
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction() && label()->isCommand())
            label()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    ClickableLabel *label() const { return static_cast<ClickableLabel *>(widget()); }
};

QAccessibleInterface *accessibleClickableLabel(const QString &className, QObject *object)
{
    if (className == QLatin1String(ClickableLabel::staticMetaObject.className()))
        return new AccessibleClickableLabel(static_cast<ClickableLabel *>(object));
    return nullptr;
}

void installAccessibleInterfaceOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleClickableLabel);
        return true;
    }();
    (void)installed;
}

} // namespace

ClickableLabel::ClickableLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    installAccessibleInterfaceOnce();
    setCursor(Qt::PointingHandCursor);
    // Tab reaches it; a mouse click does not leave a focus frame behind.
    setFocusPolicy(Qt::TabFocus);
}

void ClickableLabel::click()
{
    if (isEnabled())
        emit clicked();
}

void ClickableLabel::setShortcut(const QKeySequence &keys)
{
    if (!m_shortcut) {
        m_shortcut = new QShortcut(this);
        m_shortcut->setContext(Qt::WindowShortcut);
        connect(m_shortcut, &QShortcut::activated, this, &ClickableLabel::click);
    }
    m_shortcut->setKey(keys);
}

QKeySequence ClickableLabel::shortcut() const
{
    return m_shortcut ? m_shortcut->key() : QKeySequence();
}

void ClickableLabel::setPlate(const QColor &resting, const QColor &lit)
{
    m_plate = resting;
    m_litPlate = lit;
    update();
}

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    // The second press of a double click comes with the double click itself (same moment,
    // before or after it); any later press starts a click of its own.
    if (event->timestamp() != m_doubleClickTime)
        m_endsDoubleClick = false;
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool endsDoubleClick = std::exchange(m_endsDoubleClick, false);
    if (event->button() == Qt::LeftButton && isEnabled() && !endsDoubleClick &&
        rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_endsDoubleClick = event->button() == Qt::LeftButton;
    m_doubleClickTime = event->timestamp();
    if (event->button() == Qt::LeftButton && isEnabled())
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

void ClickableLabel::keyPressEvent(QKeyEvent *event)
{
    if (!isClickKey(event) || !isCommand()) {
        QLabel::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat())
        click();
    event->accept();
}

// A label that takes the focus keeps its text in a whole text document, made when the label
// is polished, filled at its first focus and laid out at every paint, for selecting the text
// with the keyboard. A command's caption is not for selecting: the label makes no document,
// the focus only redraws the frame, and the caption is drawn as a plain label draws it, so a
// window of commands shows without laying out documents.
bool ClickableLabel::event(QEvent *event)
{
    if (event->type() == QEvent::Polish)
        return QFrame::event(event);
    return QLabel::event(event);
}

void ClickableLabel::focusInEvent(QFocusEvent *event)
{
    QFrame::focusInEvent(event);
}

void ClickableLabel::focusOutEvent(QFocusEvent *event)
{
    QFrame::focusOutEvent(event);
}

void ClickableLabel::enterEvent(QEnterEvent *event)
{
    if (m_plate.isValid())
        update();
    QLabel::enterEvent(event);
}

void ClickableLabel::leaveEvent(QEvent *event)
{
    if (m_plate.isValid())
        update();
    QLabel::leaveEvent(event);
}

void ClickableLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    if (m_plate.isValid())
        drawPlate(painter);
    drawCaption(painter);
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange))
        drawFocusFrame(painter);
}

void ClickableLabel::drawPlate(QPainter &painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() && underMouse() ? m_litPlate : m_plate);
    painter.drawRoundedRect(QRectF(rect()), 4, 4);
    painter.restore();
}

void ClickableLabel::drawCaption(QPainter &painter) const
{
    QStyleOption option;
    option.initFrom(this);
    const QRect area =
        contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
    style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()),
                          option.palette, isEnabled(), text(), foregroundRole());
}

// The focus frame is drawn over the label in its own text colour, so it shows on every
// background the label is given, and takes no room: the caption stays where it is. Like the
// style's own frames it shows once the keyboard has moved the focus, not when a window
// merely comes to the front.
void ClickableLabel::drawFocusFrame(QPainter &painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(foregroundRole()), 2, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}

} // namespace orv
