// The Unicode text box: text in and out with CR LF line ends, and the switch
// to several lines with scroll bars.
#include "TextBoxW.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
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
    }

    // Tab moves focus on, so a tab character comes in by pasting, and counts.
    void pastedTabIsText()
    {
        TextBoxW box;
        box.SetMultiLine(true);
        QVERIFY(box.Editor()->tabChangesFocus());
        QGuiApplication::clipboard()->setText(QStringLiteral("a\tb"));
        box.Editor()->paste();
        QCOMPARE(box.Text(), QStringLiteral("a\tb"));
    }
};

QTEST_MAIN(TextBoxWTest)
#include "TextBoxWTest.moc"
