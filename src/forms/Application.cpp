#include "forms/Application.h"
#include "catalogue/Artwork.h"
#include "components/HSDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMetaMethod>
#include <QStandardPaths>
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
    if (event->type() == QEvent::Quit && isSignalConnected(QMetaMethod::fromSignal(&TApplication::quitRequested))) {
        event->accept();
        Q_EMIT quitRequested();
        return true;
    }
    return QApplication::event(event);
}

QString TApplication::DataFolder()
{
    const QString exeDir = applicationDirPath();
    if (::access(QFile::encodeName(exeDir).constData(), W_OK) == 0)
        return exeDir;
    const QString folder = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                               .filePath(QStringLiteral("Quillmere"));
    QDir().mkpath(folder);
    return folder;
}
