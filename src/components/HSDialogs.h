#pragma once
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// The program's message dialogs. Every warning, error and question goes
// through here, so tests can answer them without showing anything.
namespace HSDialogs {

void ErrorBox(const QString& Text, QWidget* Anchor = nullptr);
void WarningBox(const QString& Text, QWidget* Anchor = nullptr);
bool AskYesNo(const QString& Text, QWidget* Anchor = nullptr);
// The application's report of an error no command handled: "Quillmere"
// caption, stop icon, OK.
void ApplicationError(const QString& Text);

// Test hook: the next dialog is not shown and returns Answer instead.
void SetNextAnswer(QMessageBox::StandardButton Answer);
// Test hook: every dialog is answered by Handler (kind, text) without showing.
void SetHandler(std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> Handler);
// The text of the last dialog asked for, shown or answered by a hook.
QString LastMessage();

} // namespace HSDialogs
