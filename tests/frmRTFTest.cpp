// The finds viewer window offscreen: captions, the position label, red and
// grey formats where the finds and prefixes are, the stay-on-top switch, the
// three buttons and the one viewer that reloads in place.
#include "frmRTF.h"

#include "IFileOpener.h"
#include "RichTextBox.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>
#include <algorithm>

namespace {

class Recorder : public IFileOpener
{
public:
    bool OpenWithEditor(const QString &path) override { return record(QStringLiteral("editor|") + path); }
    bool OpenFolder(const QString &folder) override { return record(QStringLiteral("folder|") + folder); }
    bool OpenWithDefaultApplication(const QString &path) override { return record(QStringLiteral("default|") + path); }
    bool record(const QString &call)
    {
        calls << call;
        return opens;
    }
    QStringList calls;
    bool opens = true; // false: as without a program for the file type
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

// Whether position p lies in one of the ranges.
bool within(const std::vector<FindsDocument::Range> &ranges, qsizetype p)
{
    return std::any_of(ranges.begin(), ranges.end(), [p](const auto &r) { return r.start <= p && p < r.end(); });
}

template <class T> T *child(QWidget &w, const QString &name)
{
    T *c = w.findChild<T *>(name);
    if (!c)
        qFatal("no child %s", qPrintable(name));
    return c;
}

} // namespace

class frmRTFTest : public QObject
{
    Q_OBJECT

    QString write(const QString &name, const QByteArray &bytes) { return put(m_dir.filePath(name), bytes); }
    QTemporaryDir m_dir;

private slots:
    void cleanup()
    {
        frmRTF::CloseViewer();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        frmRTF::SetFileOpener(nullptr);
    }

    void theSwitchTogglesTopmost()
    {
        frmRTF w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *top = child<QCheckBox>(w, QStringLiteral("chkTop"));
        for (bool topmost : {true, false, true, false}) {
            QCOMPARE(top->isChecked(), topmost);
            QCOMPARE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint), topmost);
            QCOMPARE(w.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), topmost);
            QVERIFY(w.isVisible()); // switching keeps the window shown
            QTest::mouseClick(top, Qt::LeftButton, {}, QPoint(4, top->height() / 2));
        }
    }

    // Each shown character is red or grey where the document's ranges
    // (FindsDocumentTest's) say, in line mode and in whole-file mode.
    void showsTheFindsFormatted()
    {
        const struct
        {
            QByteArray file;
            QString find;
            bool whole;
            QString caption, text;
            bool labelShown;
        } cases[] = {
            {"Wortart\r\n(Wort)\nWorte Wort", "Wort", true,
             QStringLiteral(" Die Fundstellen mit Zeilennummer für Datei: f.txt"),
             QStringLiteral("Z     2: (Wort)\nZ     3: Worte Wort\n"), false},
            {"a\r\nEnde\r\nAnfang\r\nb", "Ende\r\nAnfang", false, QStringLiteral(" Die Fundstellen für Datei: f.txt"),
             QStringLiteral("a\nEnde\nAnfang\nb"), true},
        };
        for (const auto &c : cases) {
            frmRTF w;
            w.loadText(write(QStringLiteral("f.txt"), c.file), c.find, c.whole, true);
            QCOMPARE(w.windowTitle(), c.caption);
            QCOMPARE(!child<QLabel>(w, QStringLiteral("lblPosition"))->isHidden(), c.labelShown);
            QTextDocument *doc = child<RichTextBox>(w, QStringLiteral("RichTextBox1"))->document();
            QCOMPARE(doc->toPlainText(), c.text);
            const FindsDocument &shown = w.Document();
            QVERIFY(!shown.Red.empty());
            QTextCursor at(doc);
            for (qsizetype p = 0; p < c.text.size(); ++p) {
                at.setPosition(static_cast<int>(p + 1)); // the format of the character before
                if (c.text.at(p) != QLatin1Char('\n')) {
                    QVERIFY2(isRed(at.charFormat()) == within(shown.Red, p), qPrintable(QString::number(p)));
                    QVERIFY2(isGrey(at.charFormat()) == within(shown.Grey, p), qPrintable(QString::number(p)));
                }
            }
        }
    }

    void positionLabelFollowsTheMouse()
    {
        const QString path = write(QStringLiteral("g.txt"), "Zeile 1\nZeile 2\nZeile 3 lang\nEnde\nAnfang\n");
        frmRTF::ShowFinds(path, QStringLiteral("Ende\nAnfang"), false, true);
        frmRTF *w = frmRTF::Existing();
        QVERIFY(w && QTest::qWaitForWindowExposed(w));
        auto *label = child<QLabel>(*w, QStringLiteral("lblPosition"));
        QCOMPARE(label->text(), QStringLiteral("Zeile: 4"));
        auto *box = child<RichTextBox>(*w, QStringLiteral("RichTextBox1"));
        QTextCursor at(box->document());
        at.setPosition(20); // line 3, column 5
        const QRect r = box->cursorRect(at);
        QTest::mousePress(box->viewport(), Qt::LeftButton, {}, QPoint(r.left() + 1, r.center().y()));
        QCOMPARE(label->text(), QStringLiteral("Zeile: 3, Zeichen: 5"));
    }

    void buttonsHandTheFileOn()
    {
        const QString path = QStringLiteral("/home/u/Mein Ordner/die datei.txt");
        Recorder recorder;
        frmRTF::SetFileOpener(&recorder);
        frmRTF w;
        w.loadText(path, QStringLiteral("x"), false, false);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const char *button : {"cmdEdit", "cmdExplorer", "cmdAnwendung"})
            QTest::mouseClick(child<QPushButton>(w, QLatin1String(button)), Qt::LeftButton);
        QCOMPARE(recorder.calls,
                 (QStringList{"editor|" + path, QStringLiteral("folder|/home/u/Mein Ordner/"), "default|" + path}));
        QVERIFY(!w.findChild<QMessageBox *>());

        // Without a program each button says so and names the file or folder.
        recorder.opens = false;
        const QString file =
            QStringLiteral("Für die Datei \"%1\" ist kein Programm zum Öffnen eingerichtet.").arg(path);
        const std::pair<const char *, QString> cases[] = {
            {"cmdEdit", file},
            {"cmdExplorer",
             QStringLiteral("Für den Ordner \"/home/u/Mein Ordner/\" ist kein Programm zum Öffnen eingerichtet.")},
            {"cmdAnwendung", file}};
        for (const auto &[button, text] : cases) {
            QTest::mouseClick(child<QPushButton>(w, QLatin1String(button)), Qt::LeftButton);
            auto *box = w.findChild<QMessageBox *>();
            QVERIFY(box && box->isVisible());
            QCOMPARE(box->text(), text);
            delete box;
        }
    }

    void oneViewerReloadsInPlace()
    {
        const QString a = write(QStringLiteral("a.txt"), "Wort\n");
        const QString b = write(QStringLiteral("b.txt"), "x\nWort\n");
        frmRTF::ShowFinds(a, QStringLiteral("Wort"), false, false);
        frmRTF *first = frmRTF::Existing();
        QVERIFY(first && first->isVisible());
        child<QCheckBox>(*first, QStringLiteral("chkTop"))->setChecked(false);
        frmRTF::ShowFinds(b, QStringLiteral("Wort"), false, false);
        QCOMPARE(frmRTF::Existing(), first);
        QCOMPARE(first->windowTitle(), QStringLiteral(" Die Fundstellen mit Zeilennummer für Datei: b.txt"));
        QCOMPARE(first->Document().Text, QStringLiteral("Z     2: Wort\n"));
        QVERIFY(!child<QCheckBox>(*first, QStringLiteral("chkTop"))->isChecked()); // a reload keeps the switch
        cleanup();
        QVERIFY(!frmRTF::Existing());
        frmRTF::ShowFinds(a, QStringLiteral("Wort"), false, false);
        QVERIFY(
            child<QCheckBox>(*frmRTF::Existing(), QStringLiteral("chkTop"))->isChecked()); // a new one starts ticked
    }
};

QTEST_MAIN(frmRTFTest)
#include "frmRTFTest.moc"
