// Opening entries and the tray.
#include "forms/frmMain.h"

#include <QStatusBar>

void TMainF::ShowBalloon(const QString& Title, const QString& Text, int Seconds)
{
    statusBar()->showMessage(Title + QStringLiteral(": ") + Text, Seconds * 1000);
}

void TMainF::RestoreFromTray()
{
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void TMainF::HideToTray()
{
    hide();
}


void TMainF::Show1Click() { RestoreFromTray(); }
void TMainF::Hide1Click() { HideToTray(); }


void TMainF::acFindObjectExecute() {}
