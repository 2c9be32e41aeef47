// The results list widget: its layout, what it paints, and how it answers keys and the mouse.
#include "ListView.h"

#include "ListInputHandler.h"
#include "ScrollBars.h"

#include <QApplication>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

constexpr int H = ScrollBars::Horizontal;
constexpr int V = ScrollBars::Vertical;
// With a 13-pixel font a row is 17 pixels high and the header 21.
constexpr int kHeader = 21;

// A shown list without border: columns "c0", "c1", ... with the given widths,
// rows whose column 0 reads "r0", "r1", ...
std::unique_ptr<ListView> MakeList(const QList<int> &widths, int rows, QSize client = QSize(400, 360))
{
    auto list = std::make_unique<ListView>();
    list->SetBorderStyle(0);
    QFont font = list->font();
    font.setPixelSize(13);
    list->setFont(font);
    for (int i = 0; i < widths.size(); ++i)
        list->Model().AddColumn(QStringLiteral("c%1").arg(i), QStringLiteral("Spalte %1").arg(i), TextAlignment::Left,
                                widths[i]);
    for (int r = 0; r < rows; ++r)
        list->Model().AddItem(-1, QStringLiteral("r%1").arg(r));
    list->show();
    // The frame and the bars lie outside the client area; the horizontal bar may come or go with the width.
    for (int i = 0; i < 3 && list->viewport()->size() != client; ++i)
        list->resize(client + (list->size() - list->viewport()->size()));
    return list;
}

QString Texts(const ListView &list, int column)
{
    QStringList texts;
    for (int r = 0; r < list.Model().ItemCount(); ++r)
        texts << list.Model().ItemText(r, column);
    return texts.join(u' ');
}

QList<int> Selected(const ListView &list)
{
    QList<int> rows;
    for (int r = 0; r < list.Model().ItemCount(); ++r)
        if (list.Model().ItemSelected(r))
            rows << r;
    return rows;
}

// The client y of the middle of a row as the list shows it now.
int RowY(const ListView &list, int row)
{
    return list.HeaderHeight() + (row - list.TopRow()) * list.ItemHeight() + list.ItemHeight() / 2;
}

void Send(ListView &list, QEvent::Type type, QPoint p, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(p), list.viewport()->mapToGlobal(QPointF(p)), button, buttons, modifiers);
    QCoreApplication::sendEvent(list.viewport(), &event);
}

constexpr QEvent::Type Press = QEvent::MouseButtonPress, Move = QEvent::MouseMove, Release = QEvent::MouseButtonRelease;

void ClickRow(ListView &list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int x = 40)
{
    Send(list, Press, QPoint(x, RowY(list, row)), modifiers);
    Send(list, Release, QPoint(x, RowY(list, row)), modifiers);
}

// Rows from .. to selected by a click and a Shift+click.
void SelectRange(ListView &list, int from, int to)
{
    ClickRow(list, from);
    ClickRow(list, to, Qt::ShiftModifier);
}

// One row of a data-driven test each.
struct VerticalCase
{
    int clientHeight, rows, visible, whole, lastTop; // lastTop 0: no scroll range
};
struct HorizontalCase
{
    QList<int> widths;
    int clientWidth, lastValue; // lastValue 0: no bar
};
struct PointCase
{
    bool hideFirst;
    QPoint point;
    int column, row;
};
struct CheckboxClickCase
{
    int clickX; // -1: the space key on the current row 1
    int toggledRow, itemChecks, current;
};
struct DragCase
{
    int first; // rows first and first + 1 are selected
    int pressed;
    QList<int> moves;
    QString order;
    int itemsMoved;
    QList<int> selectedAfter;
};

} // namespace

class ListViewTest : public QObject
{
    Q_OBJECT

private slots:
    // --- Layout ------------------------------------------------------------

    void verticalLayout_data()
    {
        QTest::addColumn<VerticalCase>("c");
        // The list area counts from the header's height to the client
        // height, both ends included: 360 - 21 + 1 = 340 pixels.
        QTest::newRow("340 pixels, 20 rows") << VerticalCase{360, 20, 20, 20, 0};
        QTest::newRow("340 pixels, 21 rows") << VerticalCase{360, 21, 20, 20, 1};
        // 21.5 rounds to 22 shown, 21 fit whole; the 22nd must still be reachable.
        QTest::newRow("357 pixels, 22 rows") << VerticalCase{377, 22, 22, 21, 1};
        QTest::newRow("345 pixels: a part row counts") << VerticalCase{365, 30, 21, 20, 10};
    }
    void verticalLayout()
    {
        QFETCH(VerticalCase, c);
        auto list = MakeList({100}, c.rows, QSize(300, c.clientHeight));
        QCOMPARE(list->VisibleRowCount(), c.visible);
        QCOMPARE(list->FullyVisibleRowCount(), c.whole);
        QCOMPARE(list->Bars().Enabled(V), c.lastTop > 0);
        list->Bars().SetValue(V, 100000);
        QCOMPARE(list->TopRow(), c.lastTop);
        // The last row ends inside the window (its last pixel line may be cut).
        QVERIFY(kHeader + (c.rows - list->TopRow()) * list->ItemHeight() <= c.clientHeight + 1);
        list->Model().Clear(); // an emptied list keeps no scroll range
        QVERIFY(!list->Bars().Enabled(V));
        QCOMPARE(list->TopRow(), 0);
    }

    void horizontalBar_data()
    {
        QTest::addColumn<HorizontalCase>("c");
        // The bar reaches the last column's right edge, and no further.
        QTest::newRow("300 in 250") << HorizontalCase{{100, 200}, 250, 50};
        QTest::newRow("300 in 300") << HorizontalCase{{100, 200}, 300, 0};
    }
    void horizontalBar()
    {
        QFETCH(HorizontalCase, c);
        auto list = MakeList(c.widths, 5, QSize(c.clientWidth, 200));
        QCOMPARE(list->Bars().Visible(H), c.lastValue > 0);
        list->Bars().SetValue(H, 100000);
        QCOMPARE(list->ScrollX(), c.lastValue);
    }

    void pointQueries_data()
    {
        QTest::addColumn<PointCase>("c");
        QTest::newRow("first pixel") << PointCase{false, QPoint(0, kHeader), 0, 0};
        QTest::newRow("last pixel of column 0") << PointCase{false, QPoint(99, kHeader + 16), 0, 0};
        QTest::newRow("first pixel of row 1") << PointCase{false, QPoint(100, kHeader + 17), 1, 1};
        QTest::newRow("right of the columns") << PointCase{false, QPoint(300, kHeader + 40), -1, -1};
        QTest::newRow("a hidden column is never hit") << PointCase{true, QPoint(10, kHeader + 40), 1, 2};
        QTest::newRow("below the rows") << PointCase{false, QPoint(10, kHeader + 17 * 5), 0, -1};
    }
    void pointQueries()
    {
        QFETCH(PointCase, c);
        auto list = MakeList({100, 200}, 5);
        list->Model().SetColumnVisible(0, !c.hideFirst);
        QCOMPARE(list->ColumnFromPoint(c.point.x(), c.point.y()), c.column);
        QCOMPARE(list->RowFromPoint(c.point.x(), c.point.y(), true), c.row);
    }

    // --- Keyboard and mouse on rows ----------------------------------------

    void spaceAndClicksOnTheCheckbox_data()
    {
        QTest::addColumn<CheckboxClickCase>("c");
        QTest::newRow("space") << CheckboxClickCase{-1, 1, 0, 1};
        QTest::newRow("click at x 3") << CheckboxClickCase{3, 2, 1, 1};
        QTest::newRow("click at x 14") << CheckboxClickCase{14, 2, 1, 1};
        QTest::newRow("click at x 2 selects") << CheckboxClickCase{2, -1, 0, 2};
        QTest::newRow("click at x 15 selects") << CheckboxClickCase{15, -1, 0, 2};
    }
    void spaceAndClicksOnTheCheckbox()
    {
        QFETCH(CheckboxClickCase, c);
        const auto [clickX, toggledRow, itemChecks, current] = c;
        auto list = MakeList({100, 100}, 5);
        list->SetCheckboxes(true);
        list->Refresh();
        ClickRow(*list, 1);
        QSignalSpy checks(list.get(), &ListView::ItemCheck);
        QSignalSpy downs(list.get(), &ListView::MouseDown);
        if (clickX < 0)
            QTest::keyClick(list.get(), Qt::Key_Space);
        else
            ClickRow(*list, 2, Qt::NoModifier, clickX);
        for (int r = 0; r < 5; ++r)
            QCOMPARE(list->Model().ItemChecked(r), r == toggledRow);
        QCOMPARE(checks.count(), itemChecks);
        if (itemChecks)
            QCOMPARE(checks.at(0).at(0).toInt(), toggledRow);
        QCOMPARE(Selected(*list), QList<int>{current});
        QCOMPARE(list->SelectedItem(), current);
        QCOMPARE(downs.count(), clickX >= 0 && toggledRow < 0 ? 1 : 0);
    }

    void selectionKeys_data()
    {
        QTest::addColumn<QString>("keys"); // s Shift+Down, u Shift+Up, c Ctrl+Space, d Down, k Ctrl+Down
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("current");

        // Each case starts with rows 1 to 3 selected and row 3 current.
        QTest::newRow("Shift+Down extends") << "s" << QList<int>{1, 2, 3, 4} << 4;
        QTest::newRow("Ctrl+Space, Shift+Down unselects") << "cs" << QList<int>{1, 2} << 4;
        QTest::newRow("Ctrl+Space, Shift+Up unselects back") << "cu" << QList<int>{1} << 2;
        QTest::newRow("Ctrl+Down moves only the current row") << "k" << QList<int>{1, 2, 3} << 4;
        QTest::newRow("Down selects just the next row") << "cd" << QList<int>{4} << 4;
    }
    void selectionKeys()
    {
        QFETCH(QString, keys);
        QFETCH(QList<int>, selected);
        QFETCH(int, current);
        auto list = MakeList({100}, 8);
        SelectRange(*list, 1, 3);
        const QHash<QChar, QPair<Qt::Key, Qt::KeyboardModifiers>> codes{{u's', {Qt::Key_Down, Qt::ShiftModifier}},
                                                                        {u'u', {Qt::Key_Up, Qt::ShiftModifier}},
                                                                        {u'c', {Qt::Key_Space, Qt::ControlModifier}},
                                                                        {u'd', {Qt::Key_Down, Qt::NoModifier}},
                                                                        {u'k', {Qt::Key_Down, Qt::ControlModifier}}};
        for (QChar k : keys)
            QTest::keyClick(list.get(), codes[k].first, codes[k].second);
        QCOMPARE(Selected(*list), selected);
        QCOMPARE(list->SelectedItem(), current);
    }

    void plainClickOnASelectedRowKeepsOnlyIt()
    {
        auto list = MakeList({100}, 6);
        SelectRange(*list, 1, 3);
        const QPoint p(40, RowY(*list, 2));
        Send(*list, Press, p);
        QCOMPARE(Selected(*list), (QList<int>{1, 2, 3})); // a drag could still move all three
        QCOMPARE(list->SelectedItem(), 2);
        Send(*list, Release, p);
        QCOMPARE(Selected(*list), QList<int>{2});
    }

    void shiftClickSelectsARange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QList<int>>("selected");

        QTest::newRow("down") << 2 << 5 << QList<int>{2, 3, 4, 5, 8};
        QTest::newRow("up") << 5 << 2 << QList<int>{2, 3, 4, 5, 8};
        QTest::newRow("no current row") << -1 << 5 << QList<int>{5, 8};
    }
    void shiftClickSelectsARange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QList<int>, selected);
        auto list = MakeList({100}, 10);
        ClickRow(*list, 8);
        if (from >= 0)
            ClickRow(*list, from, Qt::ControlModifier);
        else
            list->SetSelectedItem(-1);
        ClickRow(*list, to, Qt::ShiftModifier);
        QCOMPARE(Selected(*list), selected);
        QCOMPARE(list->SelectedItem(), to);
    }

    void dragMovesTheSelectedRows_data()
    {
        QTest::addColumn<DragCase>("c");
        const QString down = "r0 r1 r2 r5 r6 r3 r4 r7";
        QTest::newRow("two rows down two places") << DragCase{3, 3, {5}, down, 1, {5, 6}};
        QTest::newRow("a move that stays raises nothing") << DragCase{3, 3, {3, 5, 5}, down, 1, {5, 6}};
        QTest::newRow("up") << DragCase{3, 4, {2}, "r0 r3 r4 r1 r2 r5 r6 r7", 1, {1, 2}};
        QTest::newRow("the block stays whole at the end") << DragCase{6, 6, {7}, "r0 r1 r2 r3 r4 r5 r6 r7", 0, {6}};
    }
    void dragMovesTheSelectedRows()
    {
        QFETCH(DragCase, c);
        auto list = MakeList({100}, 8);
        SelectRange(*list, c.first, c.first + 1);
        QSignalSpy moved(list.get(), &ListView::ItemsMoved);
        Send(*list, Press, QPoint(40, RowY(*list, c.pressed)));
        for (int row : c.moves)
            Send(*list, Move, QPoint(40, RowY(*list, row)));
        Send(*list, Release, QPoint(40, RowY(*list, c.moves.last())));
        QCOMPARE(Texts(*list, 0), c.order);
        QCOMPARE(moved.count(), c.itemsMoved);
        QCOMPARE(Selected(*list), c.selectedAfter);
    }

    void autoScrollWhileDragSelecting()
    {
        auto list = MakeList({100}, 100);
        QList<int> tops;
        connect(&list->Bars(), &ScrollBars::Change, list.get(), [&](int bar) {
            if (bar == V)
                tops << list->TopRow();
        });
        Send(*list, Press, QPoint(40, RowY(*list, 2)));
        const QPoint below(40, list->viewport()->height() + 10);
        Send(*list, Move, below);
        QTRY_VERIFY_WITH_TIMEOUT(list->TopRow() >= 6, 5000);
        Send(*list, Release, below);
        // One row at a time, each followed by a selection that reaches the row under the pointer.
        for (int i = 0; i < tops.size(); ++i)
            QCOMPARE(tops[i], i + 1);
        const int current = list->SelectedItem();
        QCOMPARE(current, list->RowFromPoint(40, below.y()));
        QList<int> expected;
        for (int r = 2; r <= current; ++r)
            expected << r;
        QCOMPARE(Selected(*list), expected);
        const int top = list->TopRow(); // the release stops the timer
        QTest::qWait(60);
        QCOMPARE(list->TopRow(), top);
    }

    // --- Mouse on the header -----------------------------------------------

    void headerZones_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("resized"); // column whose width follows the pointer, or -1
        QTest::addColumn<int>("clicked"); // column whose ColumnClick comes on release, or -1

        // Column 0 spans 0 .. 99, column 1 100 .. 299.
        QTest::newRow("4 pixels left of the edge") << 96 << 0 << -1;
        QTest::newRow("5 pixels left of the edge") << 95 << -1 << -1;
        QTest::newRow("6 pixels left of the edge") << 94 << -1 << 0;
        QTest::newRow("5 pixels into the next cell") << 105 << -1 << -1;
        QTest::newRow("6 pixels into the next cell") << 106 << -1 << 1;
        QTest::newRow("edge of a fixed column") << 298 << -1 << -1;
    }
    void headerZones()
    {
        QFETCH(int, x);
        QFETCH(int, resized);
        QFETCH(int, clicked);
        auto list = MakeList({100, 200}, 3, QSize(500, 200));
        list->Model().SetColumnResizable(1, false);
        QSignalSpy columnClicks(list.get(), &ListView::ColumnClick);
        QSignalSpy downs(list.get(), &ListView::MouseDown);
        Send(*list, Press, QPoint(x, 5));
        Send(*list, Move, QPoint(x + 20, 5));
        Send(*list, Release, QPoint(x + 20, 5));
        QCOMPARE(list->Model().ColumnWidth(0), resized == 0 ? x + 20 : 100);
        QCOMPARE(list->Model().ColumnWidth(1), 200);
        QCOMPARE(columnClicks.count(), clicked >= 0 ? 1 : 0);
        if (clicked >= 0)
            QCOMPARE(columnClicks.at(0).at(0).toInt(), clicked);
        QCOMPARE(downs.count(), 0);
    }

    void columnWidthNeverBelowFive_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("width");

        // Column 1 starts at 100.
        QTest::newRow("left of its left edge") << 50 << 5;
        QTest::newRow("5 pixels") << 105 << 5;
        QTest::newRow("6 pixels") << 106 << 6;
    }
    void columnWidthNeverBelowFive()
    {
        QFETCH(int, x);
        QFETCH(int, width);
        auto list = MakeList({100, 200}, 3, QSize(500, 200));
        Send(*list, Press, QPoint(300, 5));
        Send(*list, Move, QPoint(x, 5));
        QCOMPARE(list->Model().ColumnWidth(1), width);
        QCOMPARE(list->TotalColumnWidth(), 100 + width);
        Send(*list, Release, QPoint(x, 5));
    }

    void headerClicksSortBothWays_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");

        QTest::newRow("counts") << 0 << "100 10 9 2"
                                << "2 9 10 100";
        QTest::newRow("names") << 1 << "A b c d"
                               << "d c b A";
    }
    void headerClicksSortBothWays()
    {
        QFETCH(int, column);
        QFETCH(QString, first);
        QFETCH(QString, second);
        auto list = MakeList({100, 100}, 0, QSize(300, 200));
        const QStringList counts{"10", "9", "100", "2"}, names{"b", "A", "d", "c"};
        for (int r = 0; r < 4; ++r) {
            list->Model().AddItem(-1, counts[r]);
            list->Model().SetItemText(r, 1, names[r]);
        }
        QSignalSpy columnClicks(list.get(), &ListView::ColumnClick);
        const QPoint cell(column * 100 + 50, 5);
        Send(*list, Press, cell);
        Send(*list, Release, cell);
        QCOMPARE(Texts(*list, column), first);
        QCOMPARE(list->Model().ColumnAt(column).LastSortOrder, 1);
        Send(*list, Press, cell);
        Send(*list, Release, QPoint(250, 150)); // the release counts anywhere
        QCOMPARE(Texts(*list, column), second);
        QCOMPARE(list->Model().ColumnAt(column).LastSortOrder, 0);
        QCOMPARE(columnClicks.count(), 2);
        QVERIFY(!list->Model().ColumnAt(column).Pushed);
    }
};

QTEST_MAIN(ListViewTest)
#include "ListViewTest.moc"
