#include "ui/Forms.h"

#include "ui/WindowRoles.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace orv {

namespace {

// Enter clicks the focused button of a window, as Space does and as it does in a dialog.
// (Making the buttons auto-default would too, but would draw them as default buttons.)
class EnterClicks : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return QObject::eventFilter(watched, event);
        if (!key->isAutoRepeat())
            static_cast<QPushButton *>(watched)->click();
        return true;
    }
};

} // namespace

// Unloads a window the moment it is closed, so that a reference right after the close
// (in the same event) loads a fresh window instead of the one being torn down. A window
// that guards its closing is asked first; when it stays, it stays loaded.
class Forms::CloseWatcher : public QObject {
public:
    CloseWatcher(Forms &forms, std::type_index type, QWidget *window)
        : QObject(window), m_forms(forms), m_type(type)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Close)
            return QObject::eventFilter(watched, event);
        if (auto *guard = dynamic_cast<ClosingGuard *>(watched); guard && !guard->mayClose()) {
            event->ignore();
            return true;
        }
        m_forms.unload(m_type);
        return QObject::eventFilter(watched, event);
    }

private:
    Forms &m_forms;
    std::type_index m_type;
};

Forms::~Forms()
{
    unloadAll();
}

void Forms::adopt(std::type_index type, QWidget *window)
{
    auto *enterClicks = new EnterClicks(window);
    for (QPushButton *button : window->findChildren<QPushButton *>())
        button->installEventFilter(enterClicks);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->installEventFilter(new CloseWatcher(*this, type, window));
}

void Forms::unload(std::type_index type)
{
    const auto it = m_windows.find(type);
    if (it == m_windows.end())
        return;
    std::erase_if(m_closing, [](const QPointer<QWidget> &window) { return window.isNull(); });
    m_closing.push_back(it->second);
    m_windows.erase(it);
}

void Forms::unloadAll()
{
    for (auto &[type, window] : m_windows)
        delete window.data();
    m_windows.clear();
    for (QPointer<QWidget> &window : m_closing)
        delete window.data();
    m_closing.clear();
}

void Forms::showAndRaise(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace orv
