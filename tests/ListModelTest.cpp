// The result list model: errors that change nothing, the current row, lookups and the sort.
#include "ListModel.h"

#include "RaisedError.h"
#include "TestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace {

QVariant key(const char *utf8)
{
    return QVariant(u(utf8));
}

const QLocale kGerman(QLocale::German, QLocale::Germany);
using Action = std::function<void(ListModel &)>;

struct Recorder : ListModelObserver
{
    QString log; // R redraw, F refresh, S scroll range
    void ListRedraw() override { log += u'R'; }
    void ListRefresh() override { log += u'F'; }
    void ListScrollRangeChanged() override { log += u'S'; }
};

// Everything an operation could change, as one comparable text.
QString snapshot(const ListModel &m)
{
    QStringList out{QStringLiteral("%1 %2 %3 %4")
                        .arg(m.Columns().SlotCount())
                        .arg(m.SelectedItem())
                        .arg(m.Items().Capacity())
                        .arg(m.Items().ColumnCount())};
    for (int c = 0; c < m.ColumnCount(); ++c) {
        const Column &col = m.ColumnAt(c);
        out << QStringLiteral("%1|%2|%3|%4|%5")
                   .arg(col.key, col.Caption)
                   .arg(static_cast<int>(col.TextAlign))
                   .arg(col.Width)
                   .arg(col.Visible);
    }
    for (int r = 0; r < m.ItemCount(); ++r) {
        const ListItem &row = *m.Items().Item(r);
        for (int t = 0; t < row.SubItemCount(); ++t)
            out << row.Text(t);
        out << QStringLiteral("%1%2 %3 %4")
                   .arg(row.Checked())
                   .arg(row.Selected())
                   .arg(row.Tag())
                   .arg(row.PictureIndex());
    }
    return out.join(u'\n');
}

// A German model with the given column keys and rows "r0", "r1", ...
void fill(ListModel &m, const std::vector<const char *> &keys, int rows)
{
    for (const char *k : keys)
        m.AddColumn(u(k), u(k).toUpper());
    for (int r = 0; r < rows; ++r)
        m.AddItem(-1, QStringLiteral("r%1").arg(r));
}

QStringList column(const ListModel &m, int c)
{
    QStringList out;
    for (int r = 0; r < m.ItemCount(); ++r)
        out << m.ItemText(r, c);
    return out;
}

QStringList texts(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *s : list)
        out << u(s);
    return out;
}

TEST(ListModel, ErrorsCarryNumberTextAndSourceAndChangeNothing)
{
    struct Case
    {
        const char *name;
        std::vector<const char *> keys;
        int rows;
        Action action;
        int number;
        const char *source;
    };
    const std::vector<const char *> two = {"Pfad", "Name"};
    const Case cases[] = {
        {"row without columns", {}, 0, [](ListModel &m) { m.AddItem(0, u("x")); }, 31, "ListModel"},
        {"add column with a row", two, 1, [](ListModel &m) { m.AddColumn(u("Neu")); }, 33, "ListModel"},
        {"remove column with a row", two, 1, [](ListModel &m) { m.RemoveColumn(0); }, 33, "ListModel"},
        {"key in other case", two, 0, [](ListModel &m) { m.AddColumn(u("pfad")); }, 300, "ColumnCollection"},
        {"second empty key", {"", "Name"}, 0, [](ListModel &m) { m.AddColumn(); }, 300, "ColumnCollection"},
        {"remove unknown key", two, 0, [](ListModel &m) { m.RemoveColumn(key("Fehlt")); }, 9, "ColumnCollection"},
        {"remove row = count", two, 3, [](ListModel &m) { m.RemoveItem(3); }, 9, "ListItemCollection"},
        {"move from -1", two, 3, [](ListModel &m) { m.MoveItem(-1, 0); }, 9, "ListItemCollection"},
        {"text beyond the row's texts", two, 1, [](ListModel &m) { m.ItemText(0, 2); }, 9, "ListItem"},
        {"check row = count", two, 3, [](ListModel &m) { m.SetItemChecked(3, true); }, 9, "ListModel"},
    };
    const std::map<int, QString> messages = {
        {9, u("Index außerhalb des gültigen Bereichs")},
        {31, u("Kann Items nicht hinzufügen, wenn keine Spalten definiert wurden!")},
        {33, u("Kann Spalten nicht hinzufügen oder entfernen wenn Items in Liste!")},
        {300, u("Objekt nicht eindeutig in Aufzählung!")},
    };
    for (const auto &c : cases) {
        ListModel m(kGerman);
        fill(m, c.keys, c.rows);
        if (c.rows > 1)
            m.SetSelectedItem(1);
        Recorder rec;
        m.SetObserver(&rec);
        const QString before = snapshot(m);
        try {
            c.action(m);
            ADD_FAILURE() << c.name << ": nothing raised";
        } catch (const RaisedError &e) {
            EXPECT_EQ(e.Number, c.number) << c.name;
            EXPECT_EQ(e.Description, messages.at(c.number)) << c.name;
            EXPECT_EQ(e.Source, u(c.source)) << c.name;
        }
        EXPECT_EQ(snapshot(m), before) << c.name;
        EXPECT_EQ(rec.log, QString()) << c.name;
    }
}

TEST(ListModel, SelectedItemFollowsInsertsAndRemovals)
{
    struct Case
    {
        const char *name;
        int rows, selected;
        Action action;
        int expected;
    };
    const Case cases[] = {
        {"insert at the current row", 6, 3, [](ListModel &m) { m.AddItem(3); }, 4},
        {"insert below it", 6, 3, [](ListModel &m) { m.AddItem(4); }, 3},
        {"append", 6, 3, [](ListModel &m) { m.AddItem(); }, 3},
        {"insert with none", 6, -1, [](ListModel &m) { m.AddItem(0); }, -1},
        {"remove the only row", 1, 0, [](ListModel &m) { m.RemoveItem(0); }, -1},
        {"remove above it", 6, 5, [](ListModel &m) { m.RemoveItem(2); }, 4},
        {"remove the current row", 6, 3, [](ListModel &m) { m.RemoveItem(3); }, 3},
        {"remove the current last row", 6, 5, [](ListModel &m) { m.RemoveItem(5); }, 4},
        {"remove with a stale index", 3, 9, [](ListModel &m) { m.RemoveItem(2); }, 1},
        {"clear", 6, 2, [](ListModel &m) { m.Clear(); }, -1},
    };
    for (const auto &c : cases) {
        ListModel m(kGerman);
        fill(m, {"Name"}, c.rows);
        m.SetSelectedItem(c.selected);
        c.action(m);
        EXPECT_EQ(m.SelectedItem(), c.expected) << c.name;
    }
}

TEST(ListModel, KeysMatchWithoutCaseButColumnIndexMatchesExactly)
{
    ListModel m(kGerman);
    fill(m, {"Anzahl", "Leer", "Pfad"}, 0);
    EXPECT_EQ(m.ColumnCaption(key("PFAD")), u("PFAD"));
    EXPECT_EQ(m.ColumnIndex(key("PFAD")), 0);
    EXPECT_EQ(m.ColumnIndex(key("Pfad")), 2);
    EXPECT_EQ(m.ColumnCaption(key(" 2")), u("PFAD")); // a text that reads as a number is a position
    m.RemoveColumn(key("anzahl"));
    EXPECT_EQ(m.ColumnKey(0), u("Leer"));
    EXPECT_EQ(m.Columns().SlotCount(), 3);
    m.AddColumn(u("Neu")); // reuses the freed slot
    EXPECT_EQ(m.Columns().SlotCount(), 3);
    EXPECT_EQ(m.ColumnKey(2), u("Neu"));
}

TEST(ListModel, SortOfAnEmptyListOrAnInvalidColumnChangesNothing)
{
    ListModel empty(kGerman);
    empty.AddColumn(u("Wert"));
    empty.Sort(0, 0);
    EXPECT_EQ(empty.ItemCount(), 0);

    ListModel m(kGerman);
    fill(m, {"Name", "Wert"}, 0);
    for (const char *name : {"b", "c", "a"}) {
        const int r = m.AddItem(-1, u(name));
        m.SetItemText(r, 1, u(name).toUpper());
        m.SetItemTag(r, r);
    }
    m.SetSelectedItem(1);
    Recorder rec;
    m.SetObserver(&rec);
    const QString before = snapshot(m);
    m.SortByPosition(2, 0);
    m.SortByPosition(-1, 0);
    EXPECT_EQ(snapshot(m), before);
    m.Sort(key("Wert"), 1);
    EXPECT_EQ(column(m, 1), texts({"C", "B", "A"}));
    EXPECT_EQ(m.ItemTag(0), 1); // rows move whole
    EXPECT_EQ(rec.log, QString());
}

} // namespace
