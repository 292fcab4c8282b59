#pragma once
#include <QApplication>

// The application object: an error that no command handled is shown in the
// program's error box, and the program goes on.
class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    // The names and version every run gives itself, the windowless ones too
    // (they name the settings file and the data folder).
    static void setIdentity();
    bool notify(QObject* receiver, QEvent* event) override;

    // The folder of the catalogue (DataFolder::choose), made when missing.
    // Notice, when given, receives what the user should be told once.
    static QString dataFolder(QString* notice = nullptr);
    // The user's data folder UserFolder, created when missing. When it holds
    // no catalogue yet, it starts from a copy of the catalogue beside the
    // executable in ExeFolder and of its backup, and Notice says where the
    // catalogue now lives.
    static QString moveInDataFolder(const QString& exeFolder, const QString& userFolder,
                                    QString* notice);

Q_SIGNALS:
    // A request to end the program (quit(), the session manager's "die"),
    // handed to whoever ends the run properly instead of Qt's close-all-
    // windows attempt, which a visible tray icon window would refuse.
    void quitRequested();

protected:
    bool event(QEvent* event) override;
};
