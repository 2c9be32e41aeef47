// The main window: inputs, start buttons and the result list.
#include "frmMain.h"

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(WindowCaption());
    resize(1024, 720);
}

QString frmMain::WindowCaption()
{
    return QStringLiteral("Velmora - Dateiübergreifend Suchen & Ersetzen");
}
