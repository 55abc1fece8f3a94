#pragma once

#include <QCheckBox>
#include <QWidget>

namespace orv {

class App;

// The compose window. Start-up loads it hidden to clear its fortune box.
class WriteForm : public QWidget {
    Q_OBJECT
public:
    explicit WriteForm(App &app);

    QCheckBox *Check1() const { return m_check1; }

private:
    QCheckBox *m_check1;
};

} // namespace orv
