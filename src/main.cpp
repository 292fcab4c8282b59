#include "forms/Application.h"
#include "forms/frmAbout.h"
#include "forms/frmMain.h"
#include "utils/SingleInstance.h"
#include "utils/UnixSignals.h"

#include "components/FileOperationDialogs.h"
#include "components/HSDialogs.h"

#include <QTimer>
#include <QWindow>

namespace
{

// Runs an action once a window is on the screen: a box centred on the window
// must wait until the window manager has placed it.
class WhenExposed : public QObject
{
public:
    WhenExposed(QWidget* Window, std::function<void()> Action)
        : QObject(Window), m_window(Window->windowHandle()), m_action(std::move(Action))
    {
        if (m_window && !m_window->isExposed())
            m_window->installEventFilter(this);
        else
            QTimer::singleShot(0, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Watched == m_window && Event->type() == QEvent::Expose && m_window->isExposed()) {
            m_window->removeEventFilter(this);
            // After the expose the window is mapped where it stays; the box
            // follows on the next turn of the event loop.
            QTimer::singleShot(0, this, [this] { run(); });
        }
        return false;
    }

private:
    void run()
    {
        auto action = std::move(m_action);
        deleteLater();
        if (action)
            action();
    }

    QWindow* m_window;
    std::function<void()> m_action;
};

} // namespace

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
    QObject::connect(&app, &TApplication::quitRequested, &mainF, &TMainF::EndRun);
    mainF.show();
    if (!mainF.StartupError.isEmpty())
        new WhenExposed(&mainF, [&mainF] { HSDialogs::ApplicationError(mainF.StartupError); });

    QObject::connect(&app, &QApplication::aboutToQuit, &mainF, &TMainF::FormDestroy);
    return app.exec();
}
