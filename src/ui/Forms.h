#pragma once

#include <QPointer>
#include <QWidget>

#include <typeindex>
#include <unordered_map>
#include <vector>

namespace orv {

class App;

// The program's windows, loaded on first reference (hidden) and unloaded when closed, so
// that a window shown again after a close starts afresh. The program's windows never
// refuse a close.
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

    // Destroys every loaded window at once, without their closing steps.
    void unloadAll();

private:
    class CloseWatcher;

    void adopt(std::type_index type, QWidget *window);
    void unload(std::type_index type);
    static void showAndRaise(QWidget *window);

    App &m_app;
    std::unordered_map<std::type_index, QPointer<QWidget>> m_windows;
    // Closed windows whose deletion is still pending in the event loop.
    std::vector<QPointer<QWidget>> m_closing;
};

} // namespace orv
