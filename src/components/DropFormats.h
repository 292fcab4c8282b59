#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

class QMimeData;

// Readers of what other programs put into a drag or the clipboard: file
// lists, browser links and internet-shortcut files. Plain functions, so they
// work (and are tested) without a display.
namespace DropFormats
{

// Drags between the program's own views carry this type; the drop targets
// for other programs leave them alone.
inline constexpr char PrivateNodesMime[] = "application/x-quillmere-nodes";

struct Link {
    QString url;
    QString title;
};

// "_NETSCAPE_URL": UTF-8, the address and the title on two lines.
Link readNetscapeUrl(const QByteArray& bytes);
// "text/x-moz-url": UTF-16 (byte-order mark optional), address and title on two lines.
Link readMozUrl(const QByteArray& bytes);
// "text/uri-list": one URI a line, '#' lines are comments.
QStringList readUriList(const QByteArray& bytes);
// The text of the first anchor of an HTML fragment (UTF-8 or UTF-16), tags
// removed, entities decoded, blanks collapsed; empty without an anchor.
QString htmlAnchorTitle(const QByteArray& bytes);

// The address in an internet-shortcut file's lines: the "URL=" line of the
// first "[InternetShortcut]" section (a Windows .url file).
QString internetShortcutUrl(const QStringList& lines);
// The address of a freedesktop link file: "URL=" of its "[Desktop Entry]"
// group when that group says "Type=Link".
QString desktopLinkUrl(const QStringList& lines);
// The address in a .url or .desktop file (by its extension, ignoring case);
// empty for other files, unreadable ones and ones without an address.
QString shortcutFileUrl(const QString& path);
// The title a shortcut file gives: its name without folder and extension.
QString shortcutFileTitle(const QString& path);

// True when the drag comes from the program's own views.
bool isPrivateDrag(const QMimeData* data);
// The local files and folders of a drag, in the source's order.
QStringList localFiles(const QMimeData* data);
// A hyperlink from a drag: the browsers' link formats first, then a shortcut
// file among dragged files, then plain text. The title falls back to the address.
Link readLink(const QMimeData* data);
// Whether the drag holds anything readLink could read.
bool offersLink(const QMimeData* data);
// Whether the drag is a browser's link: a link format or a web address in
// its URI list, and no local files (those are a file drag).
bool offersWebLink(const QMimeData* data);

} // namespace DropFormats
