#include "forms/Application.h"
#include "catalogue/Artwork.h"
#include "components/HSDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMetaMethod>
#include <QSaveFile>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Quillmere"));
    setOrganizationName(QStringLiteral("Velmarch"));
    setApplicationVersion(QStringLiteral("3.3"));
    setQuitOnLastWindowClosed(false); // closing the window only hides it
    // Without a desktop session Qt knows only the bare hicolor theme.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    setWindowIcon(Artwork::ProgramIcon());
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        HSDialogs::ApplicationError(QString::fromUtf8(e.what()));
    }
    return false;
}

bool TApplication::event(QEvent* event)
{
    if (event->type() == QEvent::Quit &&
        isSignalConnected(QMetaMethod::fromSignal(&TApplication::quitRequested))) {
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
bool copyRegularFile(const QString& From, const QString& To)
{
    const QByteArray from = QFile::encodeName(From);
    struct stat st {
    };
    if (::stat(from.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(from.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    QFile source;
    // Checked again on what was opened: the name may have changed meanwhile.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !source.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    QSaveFile target(To);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty())
        if (target.write(chunk) != chunk.size())
            return false;
    return source.error() == QFileDevice::NoError && target.commit();
}

} // namespace

QString TApplication::DataFolder(QString* Notice)
{
    const QString exeDir = applicationDirPath();
    if (::access(QFile::encodeName(exeDir).constData(), W_OK) == 0)
        return exeDir;
    return MoveInDataFolder(
        exeDir,
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
            .filePath(QStringLiteral("Quillmere")),
        Notice);
}

QString TApplication::MoveInDataFolder(const QString& ExeFolder, const QString& UserFolder,
                                       QString* Notice)
{
    QDir().mkpath(UserFolder);
    const QString catalogue = QStringLiteral("quillmere.dat"),
                  backup = QStringLiteral("quillmere.bak");
    const QDir from(ExeFolder), to(UserFolder);
    // A name that exists in any form (even a broken link) is left alone.
    const auto present = [](const QString& Path) {
        return QFileInfo(Path).exists() || QFileInfo(Path).isSymLink();
    };
    if (present(to.filePath(catalogue)) ||
        !copyRegularFile(from.filePath(catalogue), to.filePath(catalogue)))
        return UserFolder;
    if (!present(to.filePath(backup)))
        copyRegularFile(from.filePath(backup), to.filePath(backup));
    if (Notice)
        *Notice =
            QStringLiteral(
                "The folder of the program, \"%1\", cannot be written. The catalogue was copied "
                "from there and now lives in \"%2\".")
                .arg(QDir::toNativeSeparators(ExeFolder), QDir::toNativeSeparators(UserFolder));
    return UserFolder;
}
