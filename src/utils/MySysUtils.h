#pragma once
#include <QString>
#include <functional>

// Desktop services that are not about files: run at logon, opening an
// address, composing a mail.
namespace MySysUtils
{

// The XDG autostart entry named after Title ($XDG_CONFIG_HOME/autostart/Title.desktop).
QString AutoStartFile(const QString& Title);
// Writes (On) or deletes the entry starting ExePath at logon.
void SetAutoStart(const QString& Title, const QString& ExePath, bool On);
// True when the entry starts exactly ExePath (quoted or not).
bool IsAutoStart(const QString& Title, const QString& ExePath);

// What the desktop is given for a target: a local path as a file: URI, an
// address without a scheme ("www.example.org") as an http: address, any other
// address as it is.
QString TargetUri(const QString& Target);
// Hands a path or an address to the desktop's default application; false when
// nothing can open it (no application for the type or scheme, or the launch
// failed), including a "mailto:" address while no mail program is registered.
bool OpenURL(const QString& Address);
// True when a mail program is registered for "mailto:" addresses.
bool HasMailClient();
// Replaces how OpenURL reaches the desktop (tests record the targets); it is
// given the target as OpenURL got it. An empty function restores the desktop.
using TOpener = std::function<bool(const QString& Target)>;
void SetOpener(TOpener Opener);
// The "mailto:" link for an address, a subject and a body.
QString MailLink(const QString& Address, const QString& Subject, const QString& Body);
// Opens the mail program with a new message; throws when none is registered.
void SendMail(const QString& Address, const QString& Subject, const QString& Body);

} // namespace MySysUtils
