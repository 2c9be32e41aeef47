// The main window as the user first sees it.
#include "frmMain.h"

#include <QtTest>

class frmMainTest : public QObject
{
    Q_OBJECT

private slots:
    void captionIsTheProgramsTitle()
    {
        frmMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Velmora - Dateiübergreifend Suchen & Ersetzen"));
    }
};

QTEST_MAIN(frmMainTest)
#include "frmMainTest.moc"
