#include "utils/Desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextStream>
#include <QUrl>
#include <climits>
#include <stdexcept>
#include <unistd.h>

#include "utils/PathTests.h"
#include "utils/SystemPaths.h"

#undef signals
#include <gio/gio.h>

namespace Desktop
{

QString autoStartFile(const QString& id)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("autostart/%1.desktop").arg(id));
}

namespace
{

// One quoted argument of Exec=: inside the quotes '"', '`', '$' and '\'
// take a backslash, '%' is doubled (it starts a field code).
QString quotedArgument(const QString& text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        else if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return quoted + u'"';
}

// The command that starts ExePath, before the key's string rules. GLib
// looks for the program named first before it undoes "%%", and finds no
// program at a path with '%' in it: such a path is given to the shell as
// its first argument, which the shell runs.
QString execCommand(const QString& exePath)
{
    if (!exePath.contains(u'%'))
        return quotedArgument(exePath);
    return QStringLiteral("/bin/sh -c %1 %2")
        .arg(quotedArgument(QStringLiteral("exec \"$0\"")), quotedArgument(exePath));
}

// The key's string rules: a backslash doubled, line breaks and tabs escaped,
// so the value stays on its line.
QString execValue(const QString& exePath)
{
    QString value;
    for (const QChar c : execCommand(exePath)) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else
            value += c;
    }
    return value;
}

// The key's string rules undone: \s \n \t \r and \\.
QString unescapeString(const QString& value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            text += c;
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's':
            text += u' ';
            break;
        case 'n':
            text += u'\n';
            break;
        case 't':
            text += u'\t';
            break;
        case 'r':
            text += u'\r';
            break;
        case '\\':
            text += u'\\';
            break;
        default:
            text += c;
            text += next;
        }
    }
    return text;
}

// The text of one quoted argument: backslash escapes undone, "%%" back to "%".
QString unquoteArgument(const QString& text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == u'\\' && i + 1 < text.size())
            c = text.at(++i);
        else if (c == u'%' && i + 1 < text.size() && text.at(i + 1) == u'%')
            ++i;
        plain += c;
    }
    return plain;
}

// Whether the text's last character is escaped: an odd run of backslashes
// stands before it.
bool escapedAtEnd(const QString& text)
{
    qsizetype backslashes = 0;
    for (qsizetype i = text.size() - 2; i >= 0 && text.at(i) == u'\\'; --i)
        ++backslashes;
    return backslashes % 2 == 1;
}

// The Exec= value of the [Desktop Entry] group, as the file holds it.
QString readExec(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QTextStream text(&in);
    QString exec;
    bool inEntry = false;
    while (!text.atEnd()) {
        const QString line = text.readLine();
        if (line.startsWith(u'[')) {
            inEntry = line.trimmed() == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inEntry && eq > 0 && QStringView(line).left(eq).trimmed() == u"Exec")
            exec = QStringView(line).mid(eq + 1).trimmed().toString();
    }
    return exec;
}

} // namespace

bool setAutoStart(const QString& id, const QString& exePath, bool on)
{
    const QString file = autoStartFile(id);
    if (!on) {
        QFile::remove(file);
        return true;
    }
    // An entry that starts nothing is no entry.
    if (exePath.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return true; // not writable: silent, as the run list always was
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(QCoreApplication::applicationName(), execValue(exePath));
    out.write(text.toUtf8());
    out.commit();
    return true;
}

bool isAutoStart(const QString& id, const QString& exePath)
{
    if (exePath.isEmpty())
        return false;
    QString exec = unescapeString(readExec(autoStartFile(id)));
    if (exePath.contains(u'%') && exec == execCommand(exePath))
        return true;
    // Longer than two characters: one quotation mark off each end, and the
    // quoted argument's escapes undone. Anything after the path (arguments)
    // or another spelling of it counts as no entry of this program.
    if (exec.size() > 2) {
        const bool opened = exec.startsWith(u'"');
        if (opened)
            exec.remove(0, 1);
        const bool closed = exec.endsWith(u'"') && !escapedAtEnd(exec);
        if (closed)
            exec.chop(1);
        if (opened && closed)
            exec = unquoteArgument(exec);
    }
    return exec == exePath;
}

void moveAutoStart(const QString& oldId, const QString& newId)
{
    const QString from = autoStartFile(oldId), to = autoStartFile(newId);
    // Ours when its program is an executable named "quillmere", wherever.
    QString exec = unescapeString(readExec(from));
    if (exec.startsWith(u'"')) {
        const qsizetype close = exec.indexOf(u'"', 1);
        exec = exec.mid(1, close < 0 ? -1 : close - 1);
    } else {
        exec = exec.section(u' ', 0, 0);
    }
    if (QFileInfo(exec).fileName() != QStringLiteral("quillmere"))
        return;
    if (QFileInfo::exists(to))
        QFile::remove(from);
    else
        QFile::rename(from, to);
}

namespace
{

Opener g_opener;

bool launchDefault(const QString& target)
{
    const QString uri = targetUri(target);
    if (uri.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive) && !hasMailClient())
        return false;
    GError* error = nullptr;
    const QByteArray bytes = uri.toUtf8();
    const gboolean ok = g_app_info_launch_default_for_uri(bytes.constData(), nullptr, &error);
    if (error)
        g_error_free(error);
    return ok;
}

} // namespace

QString targetUri(const QString& target)
{
    if (target.isEmpty())
        return QString();
    if (FileUtils::isLocalPath(target)) {
        // A name that is not UTF-8 goes as its own bytes, percent-encoded.
        const QByteArray bytes = FileUtils::Sys::native(target);
        if (target.startsWith(u'/') && bytes != target.toUtf8())
            return QStringLiteral("file://") +
                   QString::fromLatin1(bytes.toPercentEncoding("/!$&'()*+,;=:@"));
        return QUrl::fromLocalFile(target).toString(QUrl::FullyEncoded);
    }
    const QUrl url(target, QUrl::TolerantMode);
    // A one-letter scheme would be a drive letter, not an address.
    if (url.isValid() && url.scheme().size() > 1)
        return url.toString(QUrl::FullyEncoded);
    const QUrl guessed = QUrl::fromUserInput(target);
    return guessed.isValid() ? guessed.toString(QUrl::FullyEncoded) : target;
}

QString executablePath()
{
    // The kernel's link names the program even where Qt's decoded path of a
    // folder name that is not UTF-8 comes back empty.
    QByteArray target(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", target.data(), size_t(target.size()));
    if (length <= 0 || length >= target.size())
        return QString();
    target.truncate(length);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString path = utf8.decode(target);
    return utf8.hasError() ? QString() : path;
}

bool openUrl(const QString& address)
{
    return g_opener ? g_opener(address) : launchDefault(address);
}

bool hasMailClient()
{
    GAppInfo* app = g_app_info_get_default_for_uri_scheme("mailto");
    if (!app)
        return false;
    g_object_unref(app);
    return true;
}

void setOpener(Opener opener)
{
    g_opener = std::move(opener);
}

QString mailLink(const QString& address, const QString& subject, const QString& body)
{
    // Everything a mailto: URI does not allow as it stands is percent-encoded
    // (UTF-8), so a '&', '#', '?' or '%' cannot end a field or the link.
    const auto encoded = [](const QString& text, const QByteArray& allowed) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text, allowed));
    };
    return QStringLiteral("mailto:") + encoded(address, "!$'*+/=@") + QStringLiteral("?subject=") +
           encoded(subject, "!$'()*+,;:@/?") + QStringLiteral("&body=") +
           encoded(body, "!$'()*+,;:@/?");
}

void sendMail(const QString& address, const QString& subject, const QString& body)
{
    if (!openUrl(mailLink(address, subject, body)))
        throw std::runtime_error("Cannot run default Email Client!");
}

} // namespace Desktop
