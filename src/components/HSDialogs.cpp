#include "components/HSDialogs.h"

#include <QApplication>

namespace HSDialogs {
namespace {

QMessageBox::StandardButton g_nextAnswer = QMessageBox::NoButton;
std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> g_handler;
QString g_last;

QMessageBox::StandardButton run(QMessageBox::Icon Icon, const QString& Text, QWidget* Anchor,
                                QMessageBox::StandardButtons Buttons, QMessageBox::StandardButton Default)
{
    g_last = Text;
    if (g_nextAnswer != QMessageBox::NoButton) {
        const auto answer = g_nextAnswer;
        g_nextAnswer = QMessageBox::NoButton;
        return answer;
    }
    if (g_handler)
        return g_handler(Icon, Text);
    QMessageBox box(Icon, QStringLiteral("Quillmere"), Text, Buttons, Anchor ? Anchor->window() : nullptr);
    box.setDefaultButton(Default);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

void ErrorBox(const QString& Text, QWidget* Anchor)
{
    run(QMessageBox::Critical, Text, Anchor, QMessageBox::Ok, QMessageBox::Ok);
}

void WarningBox(const QString& Text, QWidget* Anchor)
{
    run(QMessageBox::Warning, Text, Anchor, QMessageBox::Ok, QMessageBox::Ok);
}

bool AskYesNo(const QString& Text, QWidget* Anchor)
{
    return run(QMessageBox::Question, Text, Anchor, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

void ApplicationError(const QString& Text)
{
    run(QMessageBox::Critical, Text, QApplication::activeWindow(), QMessageBox::Ok, QMessageBox::Ok);
}

void SetNextAnswer(QMessageBox::StandardButton Answer)
{
    g_nextAnswer = Answer;
}

void SetHandler(std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> Handler)
{
    g_handler = std::move(Handler);
}

QString LastMessage()
{
    return g_last;
}

} // namespace HSDialogs
