// The finds viewer on a large file: building the document and showing the
// window, in line mode and in whole-file mode, against merely reading the file.
//
//   viewer_bench [--mb N] [--finds N] [--rounds N]
//
// Writes a file of N MB (default 20) with the given number of finds (default
// 100,000) into a temporary folder, then prints the best of the rounds for
// reading it (the floor), building the document, and loading and showing the
// viewer window offscreen (up to its first paint); then, for information, how
// long the view goes on laying out the rest in the background and the longest
// pause of the event loop while it does. Last the worst case for showing: a
// file of the same size whose only find is at its end.
#include "FindsDocument.h"
#include "RichTextBox.h"
#include "cFileResder.h"
#include "frmRTF.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

double best(int rounds, const std::function<void()> &body)
{
    double bestSeconds = 1e100;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        body();
        bestSeconds = std::min(bestSeconds, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return bestSeconds;
}

// Blocks of four lines of code-like text; the third line of each block ends
// in the word and the fourth begins with "Ende", so each block holds one find
// for "Suchwort" and one for "Suchwort" CR LF "Ende".
QByteArray makeFile(qint64 bytes, int finds)
{
    const qint64 block = std::max<qint64>(64, bytes / std::max(1, finds));
    const char *l1 = "    int wert = berechne(alpha, beta, gamma); // ein Kommentar ";
    const char *l2 = "    rueckgabe = wert * faktor + versatz;";
    const char *l3 = "    if (bedingung) { aufruf(parameter); } else Suchwort\r\n";
    const char *l4 = "Ende(); naechster Schritt";
    QByteArray unit;
    unit += l1;
    unit += "\r\n";
    unit += l2;
    unit += "\r\n";
    unit += l3;
    unit += l4;
    // Pad the last line so one block has the asked size.
    const qint64 pad = std::max<qint64>(0, block - unit.size() - 2);
    unit += QByteArray(pad, 'x');
    unit += "\r\n";
    QByteArray out;
    out.reserve(unit.size() * finds);
    for (int i = 0; i < finds; ++i)
        out += unit;
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    double mb = 20;
    int finds = 100000;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--mb"))
            mb = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--finds"))
            finds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gross.txt"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(makeFile(static_cast<qint64>(mb * 1000 * 1000), finds));
    }
    const double fileMb = static_cast<double>(QFile(path).size()) / (1000.0 * 1000.0);
    std::printf("file: %.1f MB, %d blocks of four lines\n", fileMb, finds);

    const double floor = best(rounds, [&] {
        cFileResder reader;
        (void)reader.FileRead(path);
    });
    std::printf("%-34s %8.3f s\n", "read the file (floor)", floor);

    struct Mode
    {
        const char *name;
        QString find;
    };
    const Mode modes[] = {{"line mode", QStringLiteral("Suchwort")},
                          {"whole-file mode", QStringLiteral("Suchwort\r\nEnde")}};
    for (const Mode &m : modes) {
        std::size_t red = 0, grey = 0;
        const double build = best(rounds, [&] {
            cFileResder reader;
            const FindsDocument d = FindsDocument::Load(reader, path, m.find, false, true);
            red = d.Red.size();
            grey = d.Grey.size();
        });
        const double show = best(rounds, [&] {
            frmRTF w;
            w.loadText(path, m.find, false, true);
            w.show();
            w.repaint();
            QCoreApplication::processEvents();
        });
        std::printf("%s: %zu red, %zu grey ranges\n", m.name, red, grey);
        std::printf("  %-32s %8.3f s  (%.1fx reading)\n", "build the document", build, build / floor);
        std::printf("  %-32s %8.3f s  (%.1fx reading)\n", "load and show the window", show, show / floor);

        // The view lays out the rest of the document in the background; the
        // longest pause of the event loop meanwhile is what a user would feel.
        frmRTF w;
        w.loadText(path, m.find, false, true);
        w.show();
        QCoreApplication::processEvents();
        // The last paragraph gets its lines when the layout reaches the end.
        const QTextLayout *lastLayout = w.findChild<RichTextBox *>()->document()->lastBlock().layout();
        auto last = Clock::now();
        const auto t0 = last;
        double longest = 0;
        QTimer tick;
        QEventLoop loop;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            longest = std::max(longest, std::chrono::duration<double>(now - last).count());
            last = now;
            if (lastLayout->lineCount() > 0 || now - t0 > std::chrono::seconds(60))
                loop.quit();
        });
        tick.start(0);
        loop.exec();
        const auto done = last;
        std::printf("  %-32s %8.3f s  (longest pause %.3f s)\n", "layout of the rest, background",
                    std::chrono::duration<double>(done - t0).count(), longest);
    }

    // The worst case for showing: the only find at the end of the file. The
    // window shows at once; the view reaches the find when the background
    // layout gets there.
    const QString deepPath = dir.filePath(QStringLiteral("tief.txt"));
    {
        QFile f(deepPath);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        const QByteArray line = "    int wert = berechne(alpha, beta, gamma); // ein Kommentar\r\n";
        f.write(line.repeated(static_cast<qsizetype>(mb * 1000 * 1000) / line.size()) + "Suchwort\r\nEnde\r\n");
    }
    const QString deepFind = QStringLiteral("Suchwort\r\nEnde");
    const double deepShow = best(rounds, [&] {
        frmRTF w;
        w.loadText(deepPath, deepFind, false, true);
        w.show();
        w.repaint();
        QCoreApplication::processEvents();
    });
    double deepLanded = 0;
    {
        const auto t0 = Clock::now();
        frmRTF w;
        w.loadText(deepPath, deepFind, false, true);
        w.show();
        const RichTextBox *box = w.findChild<RichTextBox *>();
        while (box->ScrollPending())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        deepLanded = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    std::printf("whole-file mode, one find at the end:\n");
    std::printf("  %-32s %8.3f s\n", "load and show the window", deepShow);
    std::printf("  %-32s %8.3f s\n", "until the view is at the find", deepLanded);
    return 0;
}
