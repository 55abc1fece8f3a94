#pragma once

#include "core/AppDir.h"
#include "core/DesktopNotifier.h"
#include "ui/AppState.h"
#include "ui/Forms.h"
#include "ui/Services.h"

#include <memory>

namespace orv {

class MailLibrary;

// The platform services a window may reach. The running program fills it with the Qt
// implementations; tests put scripted doubles in their place.
struct Services {
    std::unique_ptr<MessageBoxes> messageBoxes;
    std::unique_ptr<FileDialogs> fileDialogs;
    std::unique_ptr<PrintDialogs> printDialogs;
    std::unique_ptr<TunePlayer> tune;
    std::unique_ptr<Browser> browser;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<RandomSource> random;
    std::unique_ptr<MailLibrary> mail;
    // Optional: without it nothing tells the desktop.
    std::unique_ptr<DesktopNotifier> notifier;

    Services();
    Services(Services &&) noexcept;
    Services &operator=(Services &&) noexcept;
    ~Services();
};

// The context every window is handed: the program folder, the program-wide state, the
// windows and the services. There are no other globals.
class App {
public:
    App(AppDir appDir, Services services);
    ~App();
    App(const App &) = delete;
    App &operator=(const App &) = delete;

    const AppDir &appDir() const { return m_appDir; }
    AppState &state() { return m_state; }
    Forms &forms() { return m_forms; }
    Services &services() { return m_services; }

    MessageBoxes &messageBoxes() { return *m_services.messageBoxes; }
    FileDialogs &fileDialogs() { return *m_services.fileDialogs; }
    PrintDialogs &printDialogs() { return *m_services.printDialogs; }
    TunePlayer &tune() { return *m_services.tune; }
    Browser &browser() { return *m_services.browser; }
    Clock &clock() { return *m_services.clock; }
    RandomSource &random() { return *m_services.random; }
    MailLibrary &mail() { return *m_services.mail; }

    // A message box with the application title unless the request sets its own.
    QMessageBox::StandardButton showMessage(QWidget *parent, MessageBoxRequest request);

    static QString applicationTitle() { return QStringLiteral("OrvaineMail"); }

private:
    AppDir m_appDir;
    AppState m_state;
    Services m_services;
    Forms m_forms; // declared last: windows go before the services they use
};

} // namespace orv
