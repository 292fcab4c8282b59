#pragma once
#include <QString>
#include <functional>

// Desktop services that are not about files: run at logon, opening an
// address, composing a mail.
namespace Desktop
{

// The XDG autostart entry named Id ($XDG_CONFIG_HOME/autostart/Id.desktop;
// the program's desktop id).
QString autoStartFile(const QString& id);
// Writes (On) or deletes the entry starting ExePath at logon; its Name is the
// application's name. False, with nothing written, for an empty ExePath.
bool setAutoStart(const QString& id, const QString& exePath, bool on);
// True when the entry starts exactly ExePath (quoted or not); the Exec= line
// is read by the desktop-entry rules, as setAutoStart writes it. Never for
// an empty ExePath.
bool isAutoStart(const QString& id, const QString& exePath);
// An entry of this program under the name OldId becomes the entry NewId, so
// that a renamed entry does not start the program twice: moved when NewId
// has none, deleted when it has one. An entry of another program is left.
void moveAutoStart(const QString& oldId, const QString& newId);
// The running program's executable, from /proc/self/exe; empty when it
// cannot be read or is not UTF-8 text, which no desktop entry can hold.
QString executablePath();

// What the desktop is given for a target: a local path as a file: URI, an
// address without a scheme ("www.example.org") as an http: address, any other
// address as it is.
QString targetUri(const QString& target);
// Hands a path or an address to the desktop's default application; false when
// nothing can open it (no application for the type or scheme, or the launch
// failed), including a "mailto:" address while no mail program is registered.
bool openUrl(const QString& address);
// True when a mail program is registered for "mailto:" addresses.
bool hasMailClient();
// Replaces how OpenURL reaches the desktop (tests record the targets); it is
// given the target as OpenURL got it. An empty function restores the desktop.
using Opener = std::function<bool(const QString& target)>;
void setOpener(Opener opener);
// The "mailto:" link for an address, a subject and a body.
QString mailLink(const QString& address, const QString& subject, const QString& body);
// Opens the mail program with a new message; throws when none is registered.
void sendMail(const QString& address, const QString& subject, const QString& body);

} // namespace Desktop
