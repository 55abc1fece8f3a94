#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace orv {

class App;

// The program's windows, loaded on first reference (hidden) and unloaded when closed, so
// that a window shown again after a close starts afresh. A window refuses a close only
// when it is a ClosingGuard (ui/WindowRoles.h) and the user keeps it open.
class Forms {
public:
    explicit Forms(App &app) : m_app(app) {}
    ~Forms();
    Forms(const Forms &) = delete;
    Forms &operator=(const Forms &) = delete;

    template <typename T> T *get()
    {
        const std::type_index type(typeid(T));
        QPointer<QWidget> &slot = m_windows[type];
        if (!slot) {
            auto *window = new T(m_app);
            adopt(type, window);
            slot = window;
        }
        return static_cast<T *>(slot.data());
    }

    template <typename T> bool isLoaded() const
    {
        const auto it = m_windows.find(std::type_index(typeid(T)));
        return it != m_windows.end() && it->second;
    }

    // Shows a window without waiting for it; one already shown comes to the front.
    template <typename T> T *show()
    {
        T *window = get<T>();
        showAndRaise(window);
        return window;
    }

    // A window reaches a window of another subsystem, which it may not name, through a role
    // (ui/WindowRoles.h): the shell binds each role to the window class that plays it.
    template <typename Role, typename Window> void bindRole()
    {
        m_roles[std::type_index(typeid(Role))] = [this]() -> void * {
            return static_cast<Role *>(show<Window>());
        };
    }

    // Shows the window bound to `Role`, loading it when it is not loaded; nullptr while no
    // window is bound to it.
    template <typename Role> Role *showRole()
    {
        const auto it = m_roles.find(std::type_index(typeid(Role)));
        return it == m_roles.end() ? nullptr : static_cast<Role *>(it->second());
    }

    // Destroys every loaded window at once, without their closing steps.
    void unloadAll();

private:
    class CloseWatcher;

    void adopt(std::type_index type, QWidget *window);
    void unload(std::type_index type);
    static void showAndRaise(QWidget *window);

    App &m_app;
    std::unordered_map<std::type_index, QPointer<QWidget>> m_windows;
    std::unordered_map<std::type_index, std::function<void *()>> m_roles;
    // Closed windows whose deletion is still pending in the event loop.
    std::vector<QPointer<QWidget>> m_closing;
};

} // namespace orv
