#include "support/Fakes.h"

#include <QPrinter>

namespace orv::test {

QMessageBox::StandardButton ScriptedMessageBoxes::show(QWidget *, const MessageBoxRequest &request)
{
    shown.push_back(request);
    if (whileShown)
        whileShown(request);
    if (answers.empty())
        return QMessageBox::Ok;
    const QMessageBox::StandardButton answer = answers.front();
    answers.pop_front();
    return answer;
}

namespace {

QString takeAnswer(std::deque<QString> &answers)
{
    if (answers.empty())
        return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

QString ScriptedFileDialogs::openFileName(QWidget *, const FileDialogRequest &request)
{
    requests.push_back(request);
    return takeAnswer(openAnswers);
}

QString ScriptedFileDialogs::saveFileName(QWidget *, const FileDialogRequest &request)
{
    requests.push_back(request);
    return takeAnswer(saveAnswers);
}

PrintChoice ScriptedPrintDialogs::choose(QWidget *, QPrinter &printer, bool selectionAvailable)
{
    selectionOffered.push_back(selectionAvailable);
    if (answers.empty())
        return {};
    PrintChoice choice = answers.front();
    answers.pop_front();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(outputPdf);
    printer.setCopyCount(choice.copies);
    return choice;
}

bool FakeTune::open(const QString &path)
{
    calls << QStringLiteral("open ") + path;
    if (m_open)
        return false;
    m_open = true;
    m_positionAtStart = true;
    return true;
}

void FakeTune::play()
{
    calls << QStringLiteral("play");
    if (m_open && m_positionAtStart) {
        ++playsFromStart;
        m_positionAtStart = false;
    }
}

void FakeTune::close()
{
    calls << QStringLiteral("close");
    m_open = false;
}

int ScriptedRandom::bounded(int bound)
{
    if (values.empty())
        return 0;
    const int value = values.front();
    values.pop_front();
    return value % bound;
}

void UnreachableMailLibrary::NMailSetOption(int option, int value)
{
    calls << QStringLiteral("NMailSetOption %1 %2").arg(option).arg(value);
}

int UnreachableMailLibrary::NMailPop3Connect(const QString &server)
{
    calls << QStringLiteral("NMailPop3Connect ") + server;
    return -1;
}

} // namespace orv::test
