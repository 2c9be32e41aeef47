// The finds viewer window offscreen: captions, the position label, red and
// grey formats where the finds and prefixes are, the stay-on-top switch, the
// resize rule, the three buttons and the one viewer that reloads in place.
#include "frmRTF.h"

#include "IFileOpener.h"
#include "RichTextBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

namespace {

class Recorder : public IFileOpener
{
public:
    void OpenWithEditor(const QString &path) override { calls << QStringLiteral("editor|") + path; }
    void OpenFolder(const QString &folder) override { calls << QStringLiteral("folder|") + folder; }
    void OpenWithDefaultApplication(const QString &path) override { calls << QStringLiteral("default|") + path; }
    QStringList calls;
};

bool isGrey(const QTextCharFormat &f)
{
    return f.foreground().color() == QColor(0x80, 0x80, 0x80) &&
           f.fontFamilies().toStringList().value(0) == QLatin1String("courier new") &&
           qFuzzyCompare(f.fontPointSize(), 8.0);
}

bool isRed(const QTextCharFormat &f)
{
    return f.foreground().color() == QColor(0xFF, 0x00, 0x00);
}

// The runs of the shown document whose format passes the test, as
// "position:text"; a run that goes on in the next paragraph is one run.
QStringList runs(const QTextDocument *doc, bool (*test)(const QTextCharFormat &))
{
    QStringList out;
    int end = -2;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!test(f.charFormat()))
                continue;
            QString text = f.text();
            text.replace(QChar::LineSeparator, QLatin1Char('\n'));
            if (f.position() == end)
                out.last() += text;
            else if (f.position() == end + 1 && f.position() == b.position() && out.last().size())
                out.last() += QLatin1Char('\n') + text;
            else
                out << QString::number(f.position()) + QLatin1Char(':') + text;
            end = f.position() + f.length();
        }
    }
    return out;
}

// Where the top line of the view begins.
int topLineStart(const QTextEdit *box)
{
    QTextCursor c = box->cursorForPosition(QPoint(8, 9)); // below the document's margin
    c.movePosition(QTextCursor::StartOfLine);
    return c.position();
}

// The text of the screen line that holds the cursor.
QString lineAt(QTextCursor c)
{
    c.movePosition(QTextCursor::StartOfLine);
    c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    return c.selectedText();
}

} // namespace

class frmRTFTest : public QObject
{
    Q_OBJECT

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }
    template <class T> static T *child(QWidget &w, const char *name)
    {
        T *c = w.findChild<T *>(QLatin1String(name));
        if (!c)
            qFatal("no child %s", name);
        return c;
    }

    QTemporaryDir m_dir;

private slots:
    void cleanup()
    {
        frmRTF::CloseViewer();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        frmRTF::SetFileOpener(nullptr);
    }

    void controlsCarryTheirTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        const QString edit = QStringLiteral("Öffnet die Datei mit Notepad");
        const QString explorer = QStringLiteral("Öffnet den Dateioordner");
        const QString application = QStringLiteral("Öffnen die Datei  mit der Standardanwendung");
        QTest::newRow("cmdEdit") << "cmdEdit" << edit << edit;
        QTest::newRow("cmdExplorer") << "cmdExplorer" << explorer << explorer;
        QTest::newRow("cmdAnwendung") << "cmdAnwendung" << application << application;
        QTest::newRow("chkTop") << "chkTop" << QStringLiteral("Fenster immer im Vordergrund?") << QString();
    }
    void controlsCarryTheirTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        frmRTF w;
        auto *b = child<QAbstractButton>(w, name.toLatin1().constData());
        QCOMPARE(b->text(), text);
        QCOMPARE(b->toolTip(), toolTip);
    }

    void topmostFollowsTheSwitch_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("topmost");
        QTest::newRow("ticked at start") << 0 << true;
        QTest::newRow("unticked") << 1 << false;
        QTest::newRow("ticked again") << 2 << true;
        QTest::newRow("unticked again") << 3 << false;
    }
    void topmostFollowsTheSwitch()
    {
        QFETCH(int, clicks);
        QFETCH(bool, topmost);
        frmRTF w;
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *top = child<QCheckBox>(w, "chkTop");
        for (int i = 0; i < clicks; ++i)
            QTest::mouseClick(top, Qt::LeftButton, {}, QPoint(4, top->height() / 2));
        QCOMPARE(top->isChecked(), topmost);
        QCOMPARE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint), topmost);
        QCOMPARE(w.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), topmost);
        QVERIFY(w.isVisible()); // switching keeps the window shown
    }

    void showsTheFindsFormatted_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("find");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("labelShown");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("red");
        QTest::addColumn<QStringList>("grey");

        QTest::newRow("line mode") << QByteArray("eins\r\nzwei Wort\r\ndrei\nWort und Wort\n") << "Wort" << false
                                   << QStringLiteral(" Die Fundstellen mit Zeilennummer für Datei: f.txt") << false
                                   << QStringLiteral("Z     2: zwei Wort\nZ     4: Wort und Wort\n")
                                   << QStringList{"14:Wort", "28:Wort", "37:Wort"}
                                   << QStringList{"0:Z     2: ", "19:Z     4: "};
        QTest::newRow("line mode, whole words")
            << QByteArray("Wortart\n(Wort)\nWorte Wort") << "Wort" << true
            << QStringLiteral(" Die Fundstellen mit Zeilennummer für Datei: f.txt") << false
            << QStringLiteral("Z     2: (Wort)\nZ     3: Worte Wort\n") << QStringList{"10:Wort", "31:Wort"}
            << QStringList{"0:Z     2: ", "16:Z     3: "};
        QTest::newRow("whole-file mode") << QByteArray("a\r\nEnde\r\nAnfang\r\nb") << "Ende\r\nAnfang" << false
                                         << QStringLiteral(" Die Fundstellen für Datei: f.txt") << true
                                         << QStringLiteral("a\nEnde\nAnfang\nb") << QStringList{"2:Ende\nAnfang"}
                                         << QStringList{};
        QTest::newRow("missing file") << QByteArray() << "Wort" << false
                                      << QStringLiteral(" Die Fundstellen mit Zeilennummer für Datei: fehlt.txt")
                                      << false << QString() << QStringList{} << QStringList{};
    }
    void showsTheFindsFormatted()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, find);
        QFETCH(bool, whole);
        QFETCH(QString, caption);
        QFETCH(bool, labelShown);
        QFETCH(QString, text);
        QFETCH(QStringList, red);
        QFETCH(QStringList, grey);

        const QString path =
            file.isNull() ? m_dir.filePath(QStringLiteral("fehlt.txt")) : write(QStringLiteral("f.txt"), file);
        frmRTF w;
        w.loadText(path, find, whole, true);
        QCOMPARE(w.windowTitle(), caption);
        auto *label = child<QLabel>(w, "lblPosition");
        QCOMPARE(!label->isHidden(), labelShown);
        QCOMPARE(label->palette().color(QPalette::Window), QColor(224, 224, 224));
        const QTextDocument *doc = child<RichTextBox>(w, "RichTextBox1")->document();
        QCOMPARE(doc->toPlainText(), text);
        QCOMPARE(runs(doc, isRed), red);
        QCOMPARE(runs(doc, isGrey), grey);
        QVERIFY(QFile::exists(path) == !file.isNull()); // reading never creates the file
    }

    // A short file and a long one, whose first red passage (line 150) lies
    // far below the first screen: the view starts one line above it.
    void positionLabelFollowsMouseButtons_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("firstRed");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::newRow("short, line 3, column 5") << 6 << 5 << 3 << 5;
        QTest::newRow("short, line 1, column 1") << 6 << 5 << 1 << 1;
        QTest::newRow("short, line 6, column 2") << 6 << 5 << 6 << 2;
        QTest::newRow("long, line 150, column 3") << 300 << 150 << 150 << 3;
        QTest::newRow("long, line 151, column 1") << 300 << 150 << 151 << 1;
        QTest::newRow("long, line 160, column 8") << 300 << 150 << 160 << 8;
    }
    void positionLabelFollowsMouseButtons()
    {
        QFETCH(int, lines);
        QFETCH(int, firstRed);
        QFETCH(int, line);
        QFETCH(int, column);
        QByteArray file;
        for (int i = 1; i <= lines; ++i)
            file += i == firstRed       ? QByteArray("Ende\n")
                    : i == firstRed + 1 ? QByteArray("Anfang\n")
                                        : "Zeile " + QByteArray::number(i) + "\n";
        const QString path = write(QStringLiteral("g.txt"), file);
        frmRTF::ShowFinds(path, QStringLiteral("Ende\nAnfang"), false, true);
        frmRTF *w = frmRTF::Existing();
        QVERIFY(w && QTest::qWaitForWindowExposed(w));
        auto *label = child<QLabel>(*w, "lblPosition");
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("Zeile: %1").arg(firstRed));

        auto *box = child<RichTextBox>(*w, "RichTextBox1");
        QCOMPARE(lineAt(box->textCursor()), QStringLiteral("Ende")); // the caret is on the first red passage
        if (lines > 100)
            QCOMPARE(lineAt(box->cursorForPosition(QPoint(8, 9))), QStringLiteral("Zeile %1").arg(firstRed - 1));

        // Where the line begins, counted in the shown text itself.
        const QString &text = w->Document().Text;
        int pos = 0;
        for (int l = 1; l < line; ++l)
            pos = text.indexOf(QLatin1Char('\n'), pos) + 1;
        QTextCursor at(box->document());
        at.setPosition(pos + column - 1);
        const QRect r = box->cursorRect(at);
        QVERIFY(box->viewport()->rect().contains(r.center()));
        const QPoint p(r.left() + 1, r.center().y());
        const QString expected = QStringLiteral("Zeile: %1, Zeichen: %2").arg(line).arg(column);
        QTest::mousePress(box->viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(label->text(), expected);
        label->setText(QString());
        QTest::mouseRelease(box->viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(label->text(), expected);
    }

    // More text above the first red passage than the view lays out at once:
    // the window shows at the top and scrolls once the background layout
    // gets there, unless the user scrolls first.
    void farScrollWaitsForTheLayout_data()
    {
        QTest::addColumn<bool>("userScrolls");
        QTest::newRow("left alone") << false;
        QTest::newRow("user scrolls first") << true;
    }
    void farScrollWaitsForTheLayout()
    {
        QFETCH(bool, userScrolls);
        const QByteArray filler = "eine Zeile ohne Fund, lang genug, damit wenige reichen\n";
        const int above = RichTextBox::kLayoutAtOnce / filler.size() + 200;
        const QString path =
            write(QStringLiteral("weit.txt"), filler.repeated(above) + "Ende\nAnfang\n" + filler.repeated(100));
        frmRTF::ShowFinds(path, QStringLiteral("Ende\nAnfang"), false, true);
        frmRTF *w = frmRTF::Existing();
        QVERIFY(w && QTest::qWaitForWindowExposed(w));
        auto *box = child<RichTextBox>(*w, "RichTextBox1");
        QVERIFY(box->ScrollPending());
        QCOMPARE(topLineStart(box), 0);
        if (userScrolls)
            box->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        const QTextLayout *lastLayout = box->document()->lastBlock().layout();
        QTRY_VERIFY_WITH_TIMEOUT(lastLayout->lineCount() > 0 && !box->ScrollPending(), 30000);
        const int top = topLineStart(box);
        if (userScrolls) {
            QVERIFY(top < 1000);
        } else {
            QCOMPARE(top, (above - 1) * static_cast<int>(filler.size())); // one line above the passage
            QCOMPARE(lineAt(box->textCursor()), QStringLiteral("Ende"));
        }
    }

    void resizingKeepsTheScreenWidth()
    {
        frmRTF w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int screenWidth = w.screen()->geometry().width();
        QCOMPARE(w.frameGeometry().width(), screenWidth);
        w.resize(screenWidth / 2, 300);
        QTRY_COMPARE(w.frameGeometry().width(), screenWidth);
        auto *box = child<RichTextBox>(w, "RichTextBox1");
        QCOMPARE(box->width(), w.frameGeometry().width() - 27);
        QVERIFY(box->height() <= w.height() - 47);
    }

    void loadingMovesToTheTopLeftCorner()
    {
        frmRTF w;
        w.move(100, 120);
        w.loadText(m_dir.filePath(QStringLiteral("fehlt.txt")), QStringLiteral("x"), false, false);
        QCOMPARE(w.pos(), w.screen()->geometry().topLeft());
    }

    void buttonsHandTheFileOn_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("call");
        const QString path = QStringLiteral("/home/u/Mein Ordner/die datei.txt");
        QTest::newRow("editor") << "cmdEdit" << QStringLiteral("editor|") + path;
        QTest::newRow("folder") << "cmdExplorer" << QStringLiteral("folder|/home/u/Mein Ordner/");
        QTest::newRow("default") << "cmdAnwendung" << QStringLiteral("default|") + path;
    }
    void buttonsHandTheFileOn()
    {
        QFETCH(QString, button);
        QFETCH(QString, call);
        Recorder recorder;
        frmRTF::SetFileOpener(&recorder);
        frmRTF w;
        w.loadText(QStringLiteral("/home/u/Mein Ordner/die datei.txt"), QStringLiteral("x"), false, false);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(child<QPushButton>(w, button.toLatin1().constData()), Qt::LeftButton);
        QCOMPARE(recorder.calls, QStringList{call});
    }

    void oneViewerReloadsInPlace()
    {
        const QString a = write(QStringLiteral("a.txt"), "Wort\n");
        const QString b = write(QStringLiteral("b.txt"), "x\nWort\n");
        frmRTF::ShowFinds(a, QStringLiteral("Wort"), false, false);
        frmRTF *first = frmRTF::Existing();
        QVERIFY(first && first->isVisible());
        QVERIFY(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        child<QCheckBox>(*first, "chkTop")->setChecked(false);

        frmRTF::ShowFinds(b, QStringLiteral("Wort"), false, false);
        QCOMPARE(frmRTF::Existing(), first);
        QCOMPARE(first->windowTitle(), QStringLiteral(" Die Fundstellen mit Zeilennummer für Datei: b.txt"));
        QCOMPARE(first->Document().Text, QStringLiteral("Z     2: Wort\n"));
        QVERIFY(!child<QCheckBox>(*first, "chkTop")->isChecked()); // a reload keeps the switch

        frmRTF::CloseViewer();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmRTF::Existing());
        frmRTF::ShowFinds(a, QStringLiteral("Wort"), false, false);
        QVERIFY(child<QCheckBox>(*frmRTF::Existing(), "chkTop")->isChecked()); // a new viewer starts ticked
    }

    void closingReleasesTheReader()
    {
        frmRTF w;
        QVERIFY(!w.HasReader());
        w.loadText(m_dir.filePath(QStringLiteral("fehlt.txt")), QStringLiteral("x"), false, false);
        QVERIFY(w.HasReader());
        w.show();
        w.close();
        QVERIFY(!w.HasReader());
    }
};

QTEST_MAIN(frmRTFTest)
#include "frmRTFTest.moc"
