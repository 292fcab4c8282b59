#include "forms/Application.h"
#include "catalogue/Artwork.h"
#include "components/MessageDialogs.h"
#include "utils/DataFolder.h"
#include "utils/Installation.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMetaMethod>
#include <QSaveFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void Application::setIdentity()
{
    setApplicationName(QStringLiteral("Quillmere"));
    setOrganizationName(QStringLiteral("Velmarch"));
    setApplicationVersion(QStringLiteral("3.3"));
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setIdentity();
    // The desktop entry the windows belong to (Wayland's application id).
    setDesktopFileName(QString::fromUtf16(Installation::DesktopId));
    setQuitOnLastWindowClosed(false); // closing the window only hides it
    // Without a desktop session Qt knows only the bare hicolor theme.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    setWindowIcon(Artwork::programIcon());
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        MessageDialogs::applicationError(QString::fromUtf8(e.what()));
    }
    return false;
}

bool Application::event(QEvent* event)
{
    if (event->type() == QEvent::Quit &&
        isSignalConnected(QMetaMethod::fromSignal(&Application::quitRequested))) {
        event->accept();
        Q_EMIT quitRequested();
        return true;
    }
    return QApplication::event(event);
}

namespace
{

// Copies From to To when From is a regular file (a link to one is fine):
// a catalogue name that leads to a device, a pipe or a folder is no
// catalogue, and reading it could block or never end.
bool copyRegularFile(const QString& from, const QString& to)
{
    const QByteArray fromBytes = QFile::encodeName(from);
    struct stat st {
    };
    if (::stat(fromBytes.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(fromBytes.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    QFile source;
    // Checked again on what was opened: the name may have changed meanwhile.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !source.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty())
        if (target.write(chunk) != chunk.size())
            return false;
    return source.error() == QFileDevice::NoError && target.commit();
}

} // namespace

QString Application::dataFolder(QString* notice)
{
    const DataFolder::Choice choice =
        DataFolder::choose(applicationDirPath(), DataFolder::userFolder());
    if (!choice.seedFrom.isEmpty())
        return moveInDataFolder(choice.seedFrom, choice.folder, notice);
    if (!DataFolder::make(choice.folder) && notice)
        *notice = QStringLiteral("Cannot create the folder \"%1\" for the catalogue.")
                      .arg(QDir::toNativeSeparators(choice.folder));
    return choice.folder;
}

QString Application::moveInDataFolder(const QString& exeFolder, const QString& userFolder,
                                      QString* notice)
{
    DataFolder::make(userFolder);
    const QString catalogue = QStringLiteral("quillmere.dat"),
                  backup = QStringLiteral("quillmere.bak");
    const QDir from(exeFolder), to(userFolder);
    // A name that exists in any form (even a broken link) is left alone.
    const auto present = [](const QString& path) {
        return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    };
    if (present(to.filePath(catalogue)) ||
        !copyRegularFile(from.filePath(catalogue), to.filePath(catalogue)))
        return userFolder;
    if (!present(to.filePath(backup)))
        copyRegularFile(from.filePath(backup), to.filePath(backup));
    if (notice)
        *notice =
            QStringLiteral(
                "The folder of the program, \"%1\", cannot be written. The catalogue was copied "
                "from there and now lives in \"%2\".")
                .arg(QDir::toNativeSeparators(exeFolder), QDir::toNativeSeparators(userFolder));
    return userFolder;
}
