#pragma once
#include <QApplication>

// The application object: an error that no command handled is shown in the
// program's error box, and the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The folder of the catalogue: the executable's own folder, or the user's
    // data folder when that one cannot be written (an install under /usr).
    static QString DataFolder();
};
