#include "components/WindowClass.h"

#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QWindow>
#include <xcb/xcb.h>

WindowClass::WindowClass(const QByteArray& instanceName, const QByteArray& className,
                         QObject* parent)
    : QObject(parent), m_value(instanceName + '\0' + className + '\0')
{
}

void WindowClass::install(const QByteArray& instanceName, const QByteArray& className)
{
    auto* app = qGuiApp;
    if (!app || !app->nativeInterface<QNativeInterface::QX11Application>())
        return;
    app->installEventFilter(new WindowClass(instanceName, className, app));
}

bool WindowClass::eventFilter(QObject* watched, QEvent* event)
{
    // Set when the native window is made, before it is first mapped: window
    // managers read the class when a window appears.
    if (event->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceCreated) {
        auto* window = qobject_cast<QWindow*>(watched);
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (window && x11 && x11->connection()) {
            xcb_change_property(x11->connection(), XCB_PROP_MODE_REPLACE,
                                xcb_window_t(window->winId()), XCB_ATOM_WM_CLASS, XCB_ATOM_STRING,
                                8, quint32(m_value.size()), m_value.constData());
        }
    }
    return QObject::eventFilter(watched, event);
}
