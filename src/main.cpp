#include "forms/AboutDialog.h"
#include "forms/Application.h"
#include "forms/ArgumentFiling.h"
#include "forms/CommandLine.h"
#include "forms/MainWindow.h"
#include "utils/Desktop.h"
#include "utils/Installation.h"
#include "utils/SingleInstance.h"
#include "utils/UnixSignals.h"

#include "components/EventFilter.h"
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
void whenExposed(QWidget* window, std::function<void()> action)
{
    QWindow* handle = window->windowHandle();
    if (!handle || handle->isExposed()) {
        QTimer::singleShot(0, window, std::move(action));
        return;
    }
    auto* filter = new EventFilter(handle);
    filter->setHandler([filter, handle, window, action = std::move(action)](QEvent* event) {
        if (event->type() == QEvent::Expose && handle->isExposed()) {
            // After the expose the window is mapped where it stays; the box
            // follows on the next turn of the event loop.
            QTimer::singleShot(0, window, action);
            filter->remove();
        }
        return false;
    });
}

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

    // The splash paints on the event loop's first turns; the window is made
    // on the turn after it was shown, and the catalogue loads while the loop runs.
    auto splash = std::make_unique<AboutDialog>(true);
    splash->show();
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<UnixSignals> unixSignals;
    QTimer::singleShot(0, &app, [&] {
        window = std::make_unique<MainWindow>();
        filingWindow = window.get();
        // copy, move and delete ask through the window
        FileOperations::installDialogs(window.get());
        // Where the catalogue moved, said once with the other start-up messages.
        QString dataNotice;
        window->catalogue().setDataFolder(Application::dataFolder(&dataNotice));
        QObject::connect(&instance, &SingleInstance::showRequested, window.get(),
                         &MainWindow::restoreFromTray);
        // Termination by the session or by kill saves like the logoff does.
        // Items still waiting for a dialog to close are filed first: the
        // request was answered, so it must not be lost. A load under way
        // is waited for.
        const auto endRun = [&filing, &window] {
            filing.flush();
            window->endRun();
        };
        unixSignals = std::make_unique<UnixSignals>();
        QObject::connect(unixSignals.get(), &UnixSignals::terminationRequested, window.get(),
                         endRun);
        QObject::connect(&app, &Application::quitRequested, window.get(), endRun);
        QObject::connect(&app, &QApplication::aboutToQuit, window.get(), &MainWindow::finish);
        QObject::connect(window.get(), &MainWindow::runStarted, window.get(), [&, dataNotice] {
            if (!dataNotice.isEmpty())
                window->addStartupError(dataNotice);
            splash.reset();
            window->show();
            if (!window->startupError().isEmpty())
                whenExposed(window.get(), [&window] {
                    MessageDialogs::applicationError(window->startupError());
                });
            filing.setReady();
        });
        window->startRun(splash.get());
    });

    const int result = app.exec();
    window.reset(); // before the filing and the instance it was handed
    return result == CommandLine::Success ? status : result;
}
