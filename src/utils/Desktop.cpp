#include "utils/Desktop.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>
#include <stdexcept>

#include "utils/PathTests.h"

#undef signals
#include <gio/gio.h>

namespace Desktop
{

QString autoStartFile(const QString& title)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("autostart/%1.desktop").arg(title));
}

void setAutoStart(const QString& title, const QString& exePath, bool on)
{
    const QString file = autoStartFile(title);
    if (!on) {
        QFile::remove(file);
        return;
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=\"%2\"\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(title, exePath);
    out.write(text.toUtf8());
    out.commit();
}

bool isAutoStart(const QString& title, const QString& exePath)
{
    QFile in(autoStartFile(title));
    QString exec;
    if (in.open(QIODevice::ReadOnly)) {
        QTextStream text(&in);
        while (!text.atEnd()) {
            const QString line = text.readLine();
            if (line.startsWith(QStringLiteral("Exec=")))
                exec = line.mid(5);
        }
    }
    if (exec.size() > 2) {
        if (exec.startsWith(u'"'))
            exec.remove(0, 1);
        if (exec.endsWith(u'"'))
            exec.chop(1);
    }
    return exec == exePath;
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
    if (FileUtils::isLocalPath(target))
        return QUrl::fromLocalFile(target).toString(QUrl::FullyEncoded);
    const QUrl url(target, QUrl::TolerantMode);
    // A one-letter scheme would be a drive letter, not an address.
    if (url.isValid() && url.scheme().size() > 1)
        return url.toString(QUrl::FullyEncoded);
    const QUrl guessed = QUrl::fromUserInput(target);
    return guessed.isValid() ? guessed.toString(QUrl::FullyEncoded) : target;
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
    QString link = QStringLiteral("mailto:") + address + QStringLiteral("?subject=") + subject +
                   QStringLiteral("&body=") + body;
    link.replace(u' ', QStringLiteral("%20"));
    link.replace(u'\r', QStringLiteral("%0D"));
    link.replace(u'\n', QStringLiteral("%0A"));
    return link;
}

void sendMail(const QString& address, const QString& subject, const QString& body)
{
    if (!openUrl(mailLink(address, subject, body)))
        throw std::runtime_error("Cannot run default Email Client!");
}

} // namespace Desktop
