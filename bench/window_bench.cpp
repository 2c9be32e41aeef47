// The same search run through the main window (offscreen) and through
// velmora-cli, on one tree: the window should cost little more.
//
//   window_bench CORPUS_DIR PATH/TO/velmora-cli
#include "AppPaths.h"
#include "ListModel.h"
#include "ListView.h"
#include "TextBoxW.h"
#include "WindowRunHost.h"
#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_bench CORPUS_DIR PATH/TO/velmora-cli\n");
        return 2;
    }
    const QString corpus = QString::fromLocal8Bit(argv[1]);
    const QString cli = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir settings;
    AppPaths::SetProgramFolderForTesting(settings.path());
    WindowRunHost::SetMessageHook(
        [](const QString &, RunHost::Buttons, RunHost::Icon, const QString &) { return RunHost::Answer::No; });

    const int rounds = 3;
    double window = 1e9, command = 1e9;
    QString windowSummary, cliSummary;
    QString filter;
    for (int round = 0; round < rounds; ++round) {
        frmMain w;
        w.show();
        for (QCheckBox *b : w.chkP)
            b->setChecked(true);
        w.chkP_Click();
        filter = w.txtPattern->text();
        w.chkUnterordner->setChecked(true);
        w.txtStartFolder->setText(corpus);
        w.txtFindW->SetText(QStringLiteral("Suchwort"));
        QElapsedTimer t;
        t.start();
        w.cmdStart_Click(0);
        window = std::min(window, t.nsecsElapsed() / 1e9);
        windowSummary = w.lblInfo->text();
    }
    for (int round = 0; round < rounds; ++round) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(cli, {QStringLiteral("--folder"), corpus, QStringLiteral("--filter"), filter,
                      QStringLiteral("--subfolders"), QStringLiteral("--find"), QStringLiteral("Suchwort")});
        p.waitForFinished(-1);
        command = std::min(command, t.nsecsElapsed() / 1e9);
        cliSummary = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed().split(QLatin1Char('\n')).last();
    }
    auto finds = [](const QString &s) {
        return s.mid(s.indexOf(QStringLiteral("Gesamtzahl"))).section(QLatin1Char(' '), 3, 3);
    };
    std::printf("window:      %.3f s  %s\n", window, qPrintable(windowSummary));
    std::printf("velmora-cli: %.3f s  %s\n", command, qPrintable(cliSummary));
    std::printf("finds agree: %s\n", finds(windowSummary) == finds(cliSummary) ? "yes" : "NO");
    std::printf("ratio window / velmora-cli: %.2f\n", window / command);
    return 0;
}
