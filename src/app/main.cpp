// Program start: German texts for Qt's own dialogs, then the main window.
#include "frmMain.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before QApplication, which needs a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("velmora " VELMORA_VERSION "\n", stdout);
            return 0;
        }

    QApplication app(argc, argv);
    // Message box titles are built from the executable's name.
    QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).baseName());

    // The whole interface is German, so Qt's own buttons ("Ja", "Nein") are too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    frmMain window;
    window.show();
    const int status = app.exec();
    // Whoever sent the signal learns that it ended the program.
    const int signal = window.Run().StopSignal();
    return signal != 0 ? 128 + signal : status;
}
