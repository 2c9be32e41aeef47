// The Unicode text box: text in and out, style changes, Windows-style
// positions and the line functions.
#include "TextBoxW.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QtTest>

class TextBoxWTest : public QObject
{
    Q_OBJECT

private slots:
    void unicodeAndLineBreaksRoundTrip_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("unicode") << QStringLiteral("Ελληνικά Привет 😀 € ß") << QStringLiteral("Ελληνικά Привет 😀 € ß");
        QTest::newRow("crlf") << QStringLiteral("a\r\nb") << QStringLiteral("a\r\nb");
        QTest::newRow("lf") << QStringLiteral("a\nb\n") << QStringLiteral("a\r\nb\r\n");
        QTest::newRow("cr") << QStringLiteral("a\rb") << QStringLiteral("a\r\nb");
        QTest::newRow("empty") << QString() << QString();
    }
    void unicodeAndLineBreaksRoundTrip()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        TextBoxW box;
        box.SetMultiLine(true);
        box.SetText(in);
        QCOMPARE(box.Text(), out);
    }

    void styleChangesKeepTheText()
    {
        TextBoxW box;
        box.SetText(QStringLiteral("eins"));
        box.SetScrollBars(3); // no effect while single-line
        QCOMPARE(box.Editor()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        box.SetMultiLine(true);
        QCOMPARE(box.Text(), QStringLiteral("eins"));
        QCOMPARE(box.Editor()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(box.Editor()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        box.SetText(QStringLiteral("a\r\nb"));
        box.SetRightToLeft(true);
        box.SetAlignment(1);
        QCOMPARE(box.Text(), QStringLiteral("a\r\nb"));
    }

    void positionsCountLineBreaksAsTwo()
    {
        TextBoxW box;
        box.SetMultiLine(true);
        box.SetText(QStringLiteral("0123456789\r\nab\r\nxyz"));
        QCOMPARE(box.GetLineCount(), 3);
        QCOMPARE(box.GetCharsUpToLineIndex(1), 12);
        QCOMPARE(box.GetCharsUpToLineIndex(2), 16);
        QCOMPARE(box.GetLineLength(1), 2);
        QCOMPARE(box.GetLineIndex(13), 1);
        box.SetSelStart(16);
        QCOMPARE(box.SelStart(), 16);
        QCOMPARE(box.GetLineIndex(), 2);
        // A backwards selection: the smaller end, a positive length.
        QTextCursor c = box.Editor()->textCursor();
        c.setPosition(5);
        c.setPosition(2, QTextCursor::KeepAnchor);
        box.Editor()->setTextCursor(c);
        QCOMPARE(box.SelStart(), 2);
        QCOMPARE(box.SelLength(), 3);
    }

    void setLineIndex_data()
    {
        QTest::addColumn<bool>("multiLine");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("keepColumn");
        QTest::addColumn<int>("expected");
        // Lines: "0123456789" (0..9), "ab" (12..13), "xyz" (16..18).
        QTest::newRow("column 7 into a short line ends it") << true << 7 << 2 << true << 19;
        QTest::newRow("column 2 stays column 2") << true << 2 << 2 << true << 18;
        QTest::newRow("without keeping the column") << true << 7 << 2 << false << 16;
        QTest::newRow("line == count changes nothing") << true << 7 << 3 << true << 7;
        QTest::newRow("negative line changes nothing") << true << 7 << -1 << true << 7;
        QTest::newRow("single-line changes nothing") << false << 7 << 0 << false << 7;
    }
    void setLineIndex()
    {
        QFETCH(bool, multiLine);
        QFETCH(int, from);
        QFETCH(int, line);
        QFETCH(bool, keepColumn);
        QFETCH(int, expected);
        TextBoxW box;
        box.SetMultiLine(true);
        box.SetText(QStringLiteral("0123456789\r\nab\r\nxyz"));
        box.SetMultiLine(multiLine);
        if (!multiLine)
            box.SetText(QStringLiteral("0123456789"));
        box.SetSelStart(from);
        box.SetLineIndex(line, keepColumn);
        QCOMPARE(box.SelStart(), expected);
    }

    void changeSignalFollowsTheText()
    {
        TextBoxW box;
        QSignalSpy spy(&box, &TextBoxW::Change);
        box.SetText(QStringLiteral("x"));
        QVERIFY(spy.count() >= 1);
    }
};

QTEST_MAIN(TextBoxWTest)
#include "TextBoxWTest.moc"
