#include "ui/App.h"

#include "transport/MailLibrary.h"

namespace orv {

Services::Services() = default;
Services::Services(Services &&) noexcept = default;
Services &Services::operator=(Services &&) noexcept = default;
Services::~Services() = default;

App::App(AppDir appDir, Services services)
    : m_appDir(std::move(appDir)), m_services(std::move(services)), m_forms(*this)
{
}

App::~App() = default;

QMessageBox::StandardButton App::showMessage(QWidget *parent, MessageBoxRequest request)
{
    if (request.title.isEmpty())
        request.title = applicationTitle();
    return m_services.messageBoxes->show(parent, request);
}

} // namespace orv
