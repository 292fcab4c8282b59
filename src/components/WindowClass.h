#pragma once
#include <QByteArray>
#include <QObject>

// Gives every window of the program the X11 class of its desktop entry
// (WM_CLASS, which desktop entries name in StartupWMClass), so that task
// bars and docks put the windows under the program's entry. Qt would use
// the application's name, which also names the settings file and so stays.
class WindowClass : public QObject
{
    Q_OBJECT
public:
    // Installs the class for every window made from now on; nothing happens
    // off X11.
    static void install(const QByteArray& instanceName, const QByteArray& className);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowClass(const QByteArray& instanceName, const QByteArray& className, QObject* parent);
    QByteArray m_value; // instance and class, each ending in NUL
};
