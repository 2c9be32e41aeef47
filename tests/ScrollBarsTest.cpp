// The scroll bar glue: value limits, change reports, the wheel amount and clicks on a bar.
#include "ScrollBars.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr int H = ScrollBars::Horizontal;
constexpr int V = ScrollBars::Vertical;

void Wheel(QAbstractScrollArea &area, int delta)
{
    const QPointF at(10, 10);
    QWheelEvent event(at, area.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(area.viewport(), &event);
}

} // namespace

class ScrollBarsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QApplication::setWheelScrollLines(3); }

    void valueStaysWithinTheRange_data()
    {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("largeChange");
        QTest::addColumn<int>("wanted");
        QTest::addColumn<int>("stored");

        QTest::newRow("a page lets the value pass Max by one") << 49 << 150 << 1000 << 50;
        QTest::newRow("without a page the value stops at Max") << 49 << 0 << 1000 << 49;
        QTest::newRow("below Min") << 49 << 150 << -7 << 0;
        QTest::newRow("inside") << 49 << 150 << 20 << 20;
    }
    void valueStaysWithinTheRange()
    {
        QFETCH(int, max);
        QFETCH(int, largeChange);
        QFETCH(int, wanted);
        QFETCH(int, stored);
        QAbstractScrollArea area;
        ScrollBars bars;
        bars.Create(&area);
        bars.SetMax(H, max);
        bars.SetLargeChange(H, largeChange);
        QCOMPARE(bars.Max(H), max);
        QCOMPARE(bars.LargeChange(H), largeChange);

        QSignalSpy changes(&bars, &ScrollBars::Change);
        bars.SetValue(H, wanted);
        QCOMPARE(bars.Value(H), stored);
        QCOMPARE(changes.count(), stored == 0 ? 0 : 1);
        // The same value again is no change.
        bars.SetValue(H, stored);
        QCOMPARE(changes.count(), stored == 0 ? 0 : 1);
    }

    void thumbDragReportsEveryPosition()
    {
        QAbstractScrollArea area;
        ScrollBars bars;
        bars.Create(&area);
        bars.SetMax(V, 100);
        QSignalSpy changes(&bars, &ScrollBars::Change);
        QSignalSpy scrolls(&bars, &ScrollBars::Scroll);
        QScrollBar *bar = area.verticalScrollBar();
        bar->setSliderDown(true);
        bar->setSliderPosition(10);
        bar->setSliderPosition(11);
        bar->setSliderPosition(11);
        bar->setSliderDown(false);
        QCOMPARE(changes.count(), 2);
        QCOMPARE(bars.Value(V), 11);
        // Change has told every position already; Scroll has nothing left to tell.
        QCOMPARE(scrolls.count(), 0);
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
        QAbstractScrollArea area;
        ScrollBars bars;
        bars.Create(&area);
        bars.SetVisible(V, true);
        bars.SetSmallChange(V, smallChange);
        bars.SetMax(V, 100);
        bars.SetValue(V, 50);
        QSignalSpy wheels(&bars, &ScrollBars::MouseWheel);
        Wheel(area, delta);
        QCOMPARE(wheels.count(), 1);
        QCOMPARE(bars.Value(V), 50 + amount);
    }

    void smallWheelStepsAddUpToNotches()
    {
        QAbstractScrollArea area;
        ScrollBars bars;
        bars.Create(&area);
        bars.SetVisible(V, true);
        bars.SetMax(V, 100);
        QSignalSpy wheels(&bars, &ScrollBars::MouseWheel);
        for (int i = 0; i < 7; ++i)
            Wheel(area, -15);
        QCOMPARE(wheels.count(), 0);
        Wheel(area, -15);
        QCOMPARE(wheels.count(), 1);
        QCOMPARE(bars.Value(V), 3);
        // Turning back starts afresh instead of paying off the rest first.
        Wheel(area, -60);
        Wheel(area, 120);
        QCOMPARE(bars.Value(V), 0);
    }

    void wheelHandlerDecides_data()
    {
        QTest::addColumn<int>("setBar");
        QTest::addColumn<int>("setAmount");
        QTest::addColumn<bool>("verticalEnabled");
        QTest::addColumn<int>("vertical");
        QTest::addColumn<int>("horizontal");

        QTest::newRow("untouched") << -1 << -1 << true << 53 << 10;
        QTest::newRow("amount 0 moves nothing") << -1 << 0 << true << 50 << 10;
        QTest::newRow("other bar") << H << 5 << true << 50 << 15;
        QTest::newRow("a disabled bar stays") << -1 << -1 << false << 50 << 10;
    }
    void wheelHandlerDecides()
    {
        QFETCH(int, setBar);
        QFETCH(int, setAmount);
        QFETCH(bool, verticalEnabled);
        QFETCH(int, vertical);
        QFETCH(int, horizontal);
        QAbstractScrollArea area;
        ScrollBars bars;
        bars.Create(&area);
        for (int bar : {H, V}) {
            bars.SetVisible(bar, true);
            bars.SetMax(bar, 100);
        }
        bars.SetValue(V, 50);
        bars.SetValue(H, 10);
        bars.SetEnabled(V, verticalEnabled);
        connect(&bars, &ScrollBars::MouseWheel, &bars, [&](int *eBar, int *lAmount) {
            QCOMPARE(*eBar, int(V));
            QCOMPARE(*lAmount, 3);
            if (setBar >= 0)
                *eBar = setBar;
            if (setAmount >= 0)
                *lAmount = setAmount;
        });
        Wheel(area, -120);
        QCOMPARE(bars.Value(V), vertical);
        QCOMPARE(bars.Value(H), horizontal);
    }

    void pressOnABarIsAScrollClick_data()
    {
        QTest::addColumn<int>("bar");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("eButton");

        QTest::newRow("vertical, left") << V << int(Qt::LeftButton) << 1;
        QTest::newRow("horizontal, right") << H << int(Qt::RightButton) << 2;
    }
    void pressOnABarIsAScrollClick()
    {
        QFETCH(int, bar);
        QFETCH(int, button);
        QFETCH(int, eButton);
        QAbstractScrollArea area;
        ScrollBars bars;
        bars.Create(&area);
        bars.SetVisible(H, true);
        bars.SetVisible(V, true);
        area.resize(200, 200);
        area.show();
        QSignalSpy clicks(&bars, &ScrollBars::ScrollClick);
        QScrollBar *target = bar == H ? area.horizontalScrollBar() : area.verticalScrollBar();
        QTest::mousePress(target, Qt::MouseButton(button), {}, QPoint(2, 2));
        QTest::mouseRelease(target, Qt::MouseButton(button), {}, QPoint(2, 2));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.at(0).at(0).toInt(), bar);
        QCOMPARE(clicks.at(0).at(1).toInt(), eButton);
    }
};

QTEST_MAIN(ScrollBarsTest)
#include "ScrollBarsTest.moc"
