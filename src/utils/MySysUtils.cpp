#include "utils/MySysUtils.h"

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

namespace MySysUtils
{

QString AutoStartFile(const QString& Title)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("autostart/%1.desktop").arg(Title));
}

void SetAutoStart(const QString& Title, const QString& ExePath, bool On)
{
    const QString file = AutoStartFile(Title);
    if (!On) {
        QFile::remove(file);
        return;
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=\"%2\"\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(Title, ExePath);
    out.write(text.toUtf8());
    out.commit();
}

bool IsAutoStart(const QString& Title, const QString& ExePath)
{
    QFile in(AutoStartFile(Title));
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
    return exec == ExePath;
}

namespace
{

TOpener g_opener;

bool launchDefault(const QString& Target)
{
    const QString uri = TargetUri(Target);
    if (uri.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive) && !HasMailClient())
        return false;
    GError* error = nullptr;
    const QByteArray bytes = uri.toUtf8();
    const gboolean ok = g_app_info_launch_default_for_uri(bytes.constData(), nullptr, &error);
    if (error)
        g_error_free(error);
    return ok;
}

} // namespace

QString TargetUri(const QString& Target)
{
    if (Target.isEmpty())
        return QString();
    if (MyFileUtils::IsLocalPath(Target))
        return QUrl::fromLocalFile(Target).toString(QUrl::FullyEncoded);
    const QUrl url(Target, QUrl::TolerantMode);
    // A one-letter scheme would be a drive letter, not an address.
    if (url.isValid() && url.scheme().size() > 1)
        return url.toString(QUrl::FullyEncoded);
    const QUrl guessed = QUrl::fromUserInput(Target);
    return guessed.isValid() ? guessed.toString(QUrl::FullyEncoded) : Target;
}

bool OpenURL(const QString& Address)
{
    return g_opener ? g_opener(Address) : launchDefault(Address);
}

bool HasMailClient()
{
    GAppInfo* app = g_app_info_get_default_for_uri_scheme("mailto");
    if (!app)
        return false;
    g_object_unref(app);
    return true;
}

void SetOpener(TOpener Opener)
{
    g_opener = std::move(Opener);
}

QString MailLink(const QString& Address, const QString& Subject, const QString& Body)
{
    QString link = QStringLiteral("mailto:") + Address + QStringLiteral("?subject=") + Subject +
                   QStringLiteral("&body=") + Body;
    link.replace(u' ', QStringLiteral("%20"));
    link.replace(u'\r', QStringLiteral("%0D"));
    link.replace(u'\n', QStringLiteral("%0A"));
    return link;
}

void SendMail(const QString& Address, const QString& Subject, const QString& Body)
{
    if (!OpenURL(MailLink(Address, Subject, Body)))
        throw std::runtime_error("Cannot run default Email Client!");
}

} // namespace MySysUtils
