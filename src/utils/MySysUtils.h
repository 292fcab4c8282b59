#pragma once
#include <QString>

// Desktop services that are not about files: run at logon, opening an
// address, composing a mail.
namespace MySysUtils {

// The XDG autostart entry named after Title ($XDG_CONFIG_HOME/autostart/Title.desktop).
QString AutoStartFile(const QString& Title);
// Writes (On) or deletes the entry starting ExePath at logon.
void SetAutoStart(const QString& Title, const QString& ExePath, bool On);
// True when the entry starts exactly ExePath (quoted or not).
bool IsAutoStart(const QString& Title, const QString& ExePath);

// Hands an address to the desktop's default application; false when nothing
// can open it.
bool OpenURL(const QString& Address);
// The "mailto:" link for an address, a subject and a body.
QString MailLink(const QString& Address, const QString& Subject, const QString& Body);
// Opens the mail program with a new message; throws when none is registered.
void SendMail(const QString& Address, const QString& Subject, const QString& Body);

} // namespace MySysUtils
