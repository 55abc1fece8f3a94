#include "composer/WriteForm.h"

#include "ui/App.h"

namespace orv {

WriteForm::WriteForm(App &) : m_check1(new QCheckBox(QStringLiteral("占い添付"), this))
{
    setObjectName(QStringLiteral("WriteForm"));
    setWindowTitle(QStringLiteral("新規作成・送信"));
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->setChecked(false);
}

} // namespace orv
