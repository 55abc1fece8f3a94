#include "shell/SetForm.h"

#include "shell/IdPassForm.h"
#include "shell/OptionForm.h"
#include "ui/App.h"
#include "ui/Controls.h"

#include <QHBoxLayout>

namespace orv {

SetForm::SetForm(App &app)
    : m_command1(namedControl<QPushButton>(QStringLiteral("Command1"), QStringLiteral("ID/PASS"))),
      m_command2(
          namedControl<QPushButton>(QStringLiteral("Command2"), QStringLiteral("POPサーバー")))
{
    setObjectName(QStringLiteral("SetForm"));
    setWindowTitle(QStringLiteral("設定"));
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_command1);
    layout->addWidget(m_command2);
    connect(m_command1, &QPushButton::clicked, this, [&app] { app.forms().show<IdPassForm>(); });
    connect(m_command2, &QPushButton::clicked, this, [&app] { app.forms().show<OptionForm>(); });
}

} // namespace orv
