#include "forms/AboutDialog.h"
#include "forms/Application.h"
#include "forms/MainWindow.h"
#include "utils/SingleInstance.h"
#include "utils/UnixSignals.h"

#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"

#include <QTimer>
#include <QWindow>

namespace
{

// Runs an action once a window is on the screen: a box centred on the window
// must wait until the window manager has placed it.
class WhenExposed : public QObject
{
public:
    WhenExposed(QWidget* window, std::function<void()> action)
        : QObject(window), m_window(window->windowHandle()), m_action(std::move(action))
    {
        if (m_window && !m_window->isExposed())
            m_window->installEventFilter(this);
        else
            QTimer::singleShot(0, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed()) {
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
    Application app(argc, argv);

    // A second copy of the same executable hands over to the first and quits
    // before it reads or writes anything.
    SingleInstance instance(QApplication::applicationFilePath());
    if (!instance.claim())
        return 0;

    auto splash = std::make_unique<AboutDialog>(true);
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    MainWindow window;
    FileOperations::installDialogs(&window); // copy, move and delete ask through the window
    QString dataNotice; // where the catalogue moved, said once with the other start-up messages
    window.catalogue().setDataFolder(Application::dataFolder(&dataNotice));
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     &MainWindow::restoreFromTray);
    window.formCreate(splash.get());
    if (!dataNotice.isEmpty())
        window.addStartupError(dataNotice);
    splash.reset();
    // Termination by the session or by kill saves like the logoff does.
    UnixSignals unixSignals;
    QObject::connect(&unixSignals, &UnixSignals::terminationRequested, &window,
                     &MainWindow::endRun);
    QObject::connect(&app, &Application::quitRequested, &window, &MainWindow::endRun);
    window.show();
    if (!window.startupError().isEmpty())
        new WhenExposed(&window,
                        [&window] { MessageDialogs::applicationError(window.startupError()); });

    QObject::connect(&app, &QApplication::aboutToQuit, &window, &MainWindow::formDestroy);
    return app.exec();
}
