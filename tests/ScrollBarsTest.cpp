// The scroll bar glue: value limits, change reports and the wheel amount.
#include "ScrollBars.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr int H = ScrollBars::Horizontal;
constexpr int V = ScrollBars::Vertical;

// Bars on an area, the vertical one shown with 0 .. 100.
struct Area
{
    QAbstractScrollArea area;
    ScrollBars bars;
    Area()
    {
        bars.Create(&area);
        bars.SetVisible(V, true);
        bars.SetMax(V, 100);
    }
    void Wheel(int delta)
    {
        const QPointF at(10, 10);
        QWheelEvent event(at, area.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(area.viewport(), &event);
    }
};

} // namespace

class ScrollBarsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QApplication::setWheelScrollLines(3); }

    void valueStaysWithinTheRange_data()
    {
        QTest::addColumn<int>("largeChange");
        QTest::addColumn<int>("wanted");
        QTest::addColumn<int>("stored");

        // Max is 49.
        QTest::newRow("a page lets the value pass Max by one") << 150 << 1000 << 50;
        QTest::newRow("without a page the value stops at Max") << 0 << 1000 << 49;
        QTest::newRow("below Min") << 150 << -7 << 0;
    }
    void valueStaysWithinTheRange()
    {
        QFETCH(int, largeChange);
        QFETCH(int, wanted);
        QFETCH(int, stored);
        Area a;
        a.bars.SetMax(H, 49);
        a.bars.SetLargeChange(H, largeChange);
        QSignalSpy changes(&a.bars, &ScrollBars::Change);
        a.bars.SetValue(H, wanted);
        QCOMPARE(a.bars.Value(H), stored);
        QCOMPARE(changes.count(), stored == 0 ? 0 : 1);
        a.bars.SetValue(H, stored); // the same value again is no change
        QCOMPARE(changes.count(), stored == 0 ? 0 : 1);
    }

    void wheelMovesTheVerticalBar_data()
    {
        QTest::addColumn<int>("systemLines");
        QTest::addColumn<int>("smallChange");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("amount");

        QTest::newRow("one notch toward the user") << 3 << 1 << -120 << 3;
        QTest::newRow("one notch away") << 3 << 1 << 120 << -3;
        QTest::newRow("a setting of 0 counts as 3") << 0 << 1 << -120 << 3;
        QTest::newRow("small change multiplies") << 1 << 2 << -240 << 4;
        QTest::newRow("a part of a notch truncates") << 3 << 1 << -200 << 3;
    }
    void wheelMovesTheVerticalBar()
    {
        QFETCH(int, systemLines);
        QFETCH(int, smallChange);
        QFETCH(int, delta);
        QFETCH(int, amount);
        QApplication::setWheelScrollLines(systemLines);
        Area a;
        a.bars.SetSmallChange(V, smallChange);
        a.bars.SetValue(V, 50);
        QSignalSpy wheels(&a.bars, &ScrollBars::MouseWheel);
        a.Wheel(delta);
        QCOMPARE(wheels.count(), 1);
        QCOMPARE(a.bars.Value(V), 50 + amount);
    }

    void smallWheelStepsAddUpToNotches()
    {
        Area a;
        QSignalSpy wheels(&a.bars, &ScrollBars::MouseWheel);
        for (int i = 0; i < 7; ++i)
            a.Wheel(-15);
        QCOMPARE(wheels.count(), 0);
        a.Wheel(-15);
        QCOMPARE(wheels.count(), 1);
        QCOMPARE(a.bars.Value(V), 3);
        // Turning back starts afresh instead of paying off the rest first.
        a.Wheel(-60);
        a.Wheel(120);
        QCOMPARE(a.bars.Value(V), 0);
    }
};

QTEST_MAIN(ScrollBarsTest)
#include "ScrollBarsTest.moc"
