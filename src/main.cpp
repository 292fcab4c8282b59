#include "forms/AboutDialog.h"
#include "forms/Application.h"
#include "forms/ArgumentFiling.h"
#include "forms/CommandLine.h"
#include "forms/MainWindow.h"
#include "utils/Desktop.h"
#include "utils/Installation.h"
#include "utils/SingleInstance.h"
#include "utils/UnixSignals.h"

#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "components/WindowClass.h"

#include <QDir>
#include <QTimer>
#include <QWindow>
#include <cstdio>

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
    using CommandLine::Mode;
    // Read before any application object: help, the listing and their like
    // need no display, and the items' relative paths are this folder's.
    const CommandLine::Request request =
        CommandLine::parse(CommandLine::arguments(argc, argv), QDir::currentPath());
    if (request.mode != Mode::Run) {
        QCoreApplication core(argc, argv);
        Application::setIdentity();
        return CommandLine::runWithoutWindow(request, QCoreApplication::applicationDirPath());
    }
    CommandLine::printRefusals(request);
    const int status = request.refusals.isEmpty() ? CommandLine::Success : CommandLine::Failure;
    if (request.items.isEmpty() && !request.refusals.isEmpty())
        return status; // nothing left to file: no window for that
    const SingleInstance::Request handed{request.items, request.category};

    if (!CommandLine::hasDisplay(request)) {
        // A running copy can still take the items; a new one cannot start.
        QCoreApplication core(argc, argv);
        SingleInstance instance(QCoreApplication::applicationFilePath());
        switch (instance.handOver(handed)) {
        case SingleInstance::HandOver::Taken:
            return status;
        case SingleInstance::HandOver::NoAnswer:
            std::fputs("quillmere: the running copy did not answer.\n", stderr);
            return CommandLine::Failure;
        case SingleInstance::HandOver::NoCopy:
            break;
        }
        std::fputs("quillmere: there is no display to show the window on (DISPLAY is not "
                   "set).\nStart it in a desktop session; \"quillmere --help\" lists what "
                   "works without one.\n",
                   stderr);
        return CommandLine::Failure;
    }

    Application app(argc, argv);
    WindowClass::install(QByteArrayLiteral("quillmere"),
                         QString::fromUtf16(Installation::DesktopId).toUtf8());

    // A second copy of the same executable hands over to the first and quits
    // before it reads or writes anything.
    SingleInstance instance(QApplication::applicationFilePath());
    if (!instance.claim(handed)) {
        if (instance.handOverResult() == SingleInstance::HandOver::NoAnswer &&
            !handed.items.isEmpty()) {
            std::fputs("quillmere: the running copy did not answer.\n", stderr);
            return CommandLine::Failure;
        }
        return status;
    }
    // Requests that come while the catalogue loads wait for the window.
    MainWindow* filingWindow = nullptr;
    ArgumentFiling filing([&filingWindow](const QStringList& items, const QString& category) {
        if (filingWindow)
            filingWindow->fileItems(items, category);
    });
    QObject::connect(&instance, &SingleInstance::fileRequested, &filing, &ArgumentFiling::add);
    if (!request.items.isEmpty())
        filing.add(request.items, request.category);
    // The entry written under the program's title before it was named by the desktop id.
    Desktop::moveAutoStart(QString::fromUtf16(Installation::OldAutoStartTitle),
                           QString::fromUtf16(Installation::DesktopId));

    auto splash = std::make_unique<AboutDialog>(true);
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    MainWindow window;
    filingWindow = &window;
    FileOperations::installDialogs(&window); // copy, move and delete ask through the window
    QString dataNotice; // where the catalogue moved, said once with the other start-up messages
    window.catalogue().setDataFolder(Application::dataFolder(&dataNotice));
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     &MainWindow::restoreFromTray);
    window.start(splash.get());
    if (!dataNotice.isEmpty())
        window.addStartupError(dataNotice);
    splash.reset();
    // Termination by the session or by kill saves like the logoff does.
    // Items still waiting for a dialog to close are filed first: the
    // request was answered, so it must not be lost.
    const auto endRun = [&filing, &window] {
        filing.flush();
        window.endRun();
    };
    UnixSignals unixSignals;
    QObject::connect(&unixSignals, &UnixSignals::terminationRequested, &window, endRun);
    QObject::connect(&app, &Application::quitRequested, &window, endRun);
    window.show();
    if (!window.startupError().isEmpty())
        new WhenExposed(&window,
                        [&window] { MessageDialogs::applicationError(window.startupError()); });
    filing.setReady();

    QObject::connect(&app, &QApplication::aboutToQuit, &window, &MainWindow::finish);
    const int result = app.exec();
    return result == CommandLine::Success ? status : result;
}
