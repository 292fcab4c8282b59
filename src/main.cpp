#include "forms/Application.h"
#include "forms/frmAbout.h"
#include "forms/frmMain.h"
#include "utils/SingleInstance.h"
#include "utils/UnixSignals.h"

#include "components/FileOperations.h"
#include "components/HSDialogs.h"

#include <QTimer>

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);

    // A second copy of the same executable hands over to the first and quits
    // before it reads or writes anything.
    TSingleInstance instance(QApplication::applicationFilePath());
    if (!instance.Claim())
        return 0;

    auto splash = std::make_unique<TAboutBox>(true);
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    TMainF mainF;
    FileOperations::InstallDialogs(&mainF); // copy, move and delete ask through the window
    QString dataNotice; // where the catalogue moved, said once with the other start-up messages
    mainF.Catalogue.SetDataFolder(TApplication::DataFolder(&dataNotice));
    QObject::connect(&instance, &TSingleInstance::showRequested, &mainF, &TMainF::RestoreFromTray);
    mainF.FormCreate(splash.get());
    if (!dataNotice.isEmpty())
        mainF.AddStartupError(dataNotice);
    splash.reset();
    // Termination by the session or by kill saves like the logoff does.
    TUnixSignals signals_;
    QObject::connect(&signals_, &TUnixSignals::terminationRequested, &mainF, &TMainF::EndRun);
    mainF.show();
    if (!mainF.StartupError.isEmpty())
        QTimer::singleShot(0, &mainF, [&mainF] { HSDialogs::ApplicationError(mainF.StartupError); });

    QObject::connect(&app, &QApplication::aboutToQuit, &mainF, &TMainF::FormDestroy);
    return app.exec();
}
