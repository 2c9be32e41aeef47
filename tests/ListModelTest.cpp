// The result list model: errors that change nothing, growth, the current row, lookups and the sort.
#include "ListModel.h"

#include "RaisedError.h"
#include "ShellSort.h"
#include "SortCallback.h"

#include <functional>
#include "QtPrinters.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
QVariant key(const char *utf8)
{
    return QVariant(QString::fromUtf8(utf8));
}

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

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
    QStringList out;
    out << QStringLiteral("slots %1 sel %2 cap %3 texts %4")
               .arg(m.Columns().SlotCount())
               .arg(m.SelectedItem())
               .arg(m.Items().Capacity())
               .arg(m.Items().ColumnCount());
    for (int c = 0; c < m.ColumnCount(); ++c) {
        const Column &col = m.ColumnAt(c);
        out << QStringLiteral("%1|%2|%3|%4|%5|%6")
                   .arg(col.key, col.Caption)
                   .arg(col.TextAlign)
                   .arg(col.Width)
                   .arg(int(col.Visible))
                   .arg(int(col.Resizable));
    }
    for (int r = 0; r < m.ItemCount(); ++r) {
        const ListItem &row = *m.Items().Item(r);
        QStringList texts;
        for (int t = 0; t < row.SubItemCount(); ++t)
            texts << row.Text(t);
        out << texts.join(u'|') + QStringLiteral(" %1%2 %3 %4")
                                      .arg(int(row.Checked()))
                                      .arg(int(row.Selected()))
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

struct ErrorCase
{
    const char *name;
    std::vector<const char *> keys;
    int rows;
    std::function<void(ListModel &)> action;
    int number;
    const char *source;
};

TEST(ListModel, ErrorsCarryNumberTextAndSourceAndChangeNothing)
{
    const std::vector<const char *> two = {"Pfad", "Name"};
    const ErrorCase cases[] = {
        {"row without columns", {}, 0, [](ListModel &m) { m.AddItem(); }, 31, "ListModel"},
        {"insert without columns", {}, 0, [](ListModel &m) { m.AddItem(0, u("x")); }, 31, "ListModel"},
        {"add column with a row", two, 1, [](ListModel &m) { m.AddColumn(u("Neu")); }, 33, "ListModel"},
        {"remove column with a row", two, 1, [](ListModel &m) { m.RemoveColumn(0); }, 33, "ListModel"},
        {"key in other case", two, 0, [](ListModel &m) { m.AddColumn(u("pfad")); }, 300, "ColumnCollection"},
        {"second empty key", {"", "Name"}, 0, [](ListModel &m) { m.AddColumn(); }, 300, "ColumnCollection"},
        {"remove unknown key", two, 0, [](ListModel &m) { m.RemoveColumn(key("Fehlt")); }, 9, "ColumnCollection"},
        {"remove beyond count", two, 0, [](ListModel &m) { m.RemoveColumn(2); }, 9, "ColumnCollection"},
        {"remove negative column", two, 0, [](ListModel &m) { m.RemoveColumn(-1); }, 9, "ColumnCollection"},
        {"caption of unknown key", two, 2, [](ListModel &m) { m.ColumnCaption(key("Fehlt")); }, 9, "ColumnCollection"},
        {"width beyond columns", two, 2, [](ListModel &m) { m.SetColumnWidth(5, 10); }, 9, "ColumnCollection"},
        {"remove row -1", two, 3, [](ListModel &m) { m.RemoveItem(-1); }, 9, "ListItemCollection"},
        {"remove row = count", two, 3, [](ListModel &m) { m.RemoveItem(3); }, 9, "ListItemCollection"},
        {"insert beyond count", two, 3, [](ListModel &m) { m.AddItem(4, u("x")); }, 9, "ListItemCollection"},
        {"move to count", two, 3, [](ListModel &m) { m.MoveItem(0, 3); }, 9, "ListItemCollection"},
        {"move from -1", two, 3, [](ListModel &m) { m.MoveItem(-1, 0); }, 9, "ListItemCollection"},
        {"text beyond the row's texts", two, 1, [](ListModel &m) { m.ItemText(0, 2); }, 9, "ListItem"},
        {"set text -1", two, 1, [](ListModel &m) { m.SetItemText(0, -1, u("x")); }, 9, "ListItem"},
        {"check row = count", two, 3, [](ListModel &m) { m.SetItemChecked(3, true); }, 9, "ListModel"},
        {"tag of row -1", two, 3, [](ListModel &m) { m.ItemTag(-1); }, 9, "ListModel"},
    };
    const QString messages[] = {
        u("Index außerhalb des gültigen Bereichs"),
        u("Kann Items nicht hinzufügen, wenn keine Spalten definiert wurden!"),
        u("Kann Spalten nicht hinzufügen oder entfernen wenn Items in Liste!"),
        u("Objekt nicht eindeutig in Aufzählung!"),
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
            const int at = e.Number == 9 ? 0 : e.Number == 31 ? 1 : e.Number == 33 ? 2 : 3;
            EXPECT_EQ(e.Description, messages[at]) << c.name;
            EXPECT_EQ(e.Source, u(c.source)) << c.name;
        }
        EXPECT_EQ(snapshot(m), before) << c.name;
        EXPECT_EQ(rec.log, QString()) << c.name;
    }
}

TEST(ListModel, DefaultsOfAddItemAndAddColumn)
{
    ListModel m(kGerman);
    m.AddColumn(u("Pfad"), u("Ordner"));
    const Column &col = m.ColumnAt(0);
    EXPECT_TRUE(col.Visible);
    EXPECT_TRUE(col.Resizable);
    EXPECT_EQ(col.TextAlign, 0);
    EXPECT_EQ(col.Width, 300);
    EXPECT_EQ(col.WidthAutoSized, 0);
    EXPECT_FALSE(col.Pushed);
    EXPECT_EQ(col.LastSortOrder, 0);

    EXPECT_EQ(m.AddItem(), 0);
    EXPECT_EQ(m.ItemPictureIndex(0), -1);
    EXPECT_EQ(m.ItemText(0, 0), QString());
    EXPECT_EQ(m.AddItem(-7, u("b"), 3), 1); // any negative position appends
    EXPECT_EQ(m.ItemPictureIndex(1), 3);
    EXPECT_EQ(m.AddItem(0, u("a")), 0);
    EXPECT_EQ(column(m, 0), texts({"a", "", "b"}));
    EXPECT_FALSE(m.ItemChecked(0));
    EXPECT_EQ(m.ItemTag(0), 0);
}

TEST(ListModel, ColumnsCanChangeAgainAfterClear)
{
    ListModel m(kGerman);
    fill(m, {"Anzahl", "Pfad"}, 1);
    EXPECT_THROW(m.AddColumn(u("Neu")), RaisedError);
    m.Clear();
    EXPECT_EQ(m.ItemCount(), 0);
    m.AddColumn(u("Neu"));
    m.AddItem();
    EXPECT_EQ(m.Items().Item(0)->SubItemCount(), 3);
    m.SetItemText(0, 2, u("x"));
    EXPECT_EQ(m.ItemText(0, 2), u("x"));
}

TEST(ListItemCollection, GrowsByHalfWithHalvesToEvenAndKeepsRows)
{
    struct GrowthCase
    {
        int rows;
        int capacity;
    };
    const GrowthCase cases[] = {{0, 1000},    {999, 1000},  {1000, 1500}, {1499, 1500}, {1500, 2250},
                                {2249, 2250}, {2250, 3375}, {3375, 5062}, {5062, 7593}};
    ListItemCollection items(kGerman);
    items.SetColumnCount(2);
    for (const auto &c : cases) {
        while (items.ItemCount() < c.rows)
            items.AddItem().SetText(1, QString::number(items.ItemCount() - 1));
        EXPECT_EQ(items.Capacity(), c.capacity) << c.rows;
        EXPECT_EQ(items.Item(c.capacity - 1), nullptr) << c.rows;
        EXPECT_THROW(items.Item(c.capacity), RaisedError) << c.rows;
    }
    for (int r = 0; r < items.ItemCount(); ++r)
        ASSERT_EQ(items.Item(r)->Text(1), QString::number(r));
    items.Clear();
    EXPECT_EQ(items.ItemCount(), 0);
    EXPECT_EQ(items.Capacity(), 7593);
    items.PrepareForItems(10);
    EXPECT_EQ(items.Capacity(), 10);
    EXPECT_THROW(items.PrepareForItems(0), RaisedError);
}

TEST(ListItemCollection, RowsKeepTheTextCountTheyWereMadeWith)
{
    ListItemCollection items(kGerman);
    items.SetColumnCount(3);
    items.AddItem();
    items.SetColumnCount(1);
    items.AddItem();
    EXPECT_EQ(items.Item(0)->SubItemCount(), 3);
    EXPECT_EQ(items.Item(1)->SubItemCount(), 1);
    items.Item(0)->SetSubItemCount(2);
    EXPECT_EQ(items.Item(0)->SubItemCount(), 2);
}

struct SelectionCase
{
    const char *name;
    int rows;
    int selected;
    std::function<void(ListModel &)> action;
    int expected;
};

TEST(ListModel, SelectedItemFollowsInsertsAndRemovals)
{
    const SelectionCase cases[] = {
        {"insert at 0", 6, 3, [](ListModel &m) { m.AddItem(0); }, 4},
        {"insert at the current row", 6, 3, [](ListModel &m) { m.AddItem(3); }, 4},
        {"insert below it", 6, 3, [](ListModel &m) { m.AddItem(4); }, 3},
        {"append", 6, 3, [](ListModel &m) { m.AddItem(); }, 3},
        {"insert with none", 6, -1, [](ListModel &m) { m.AddItem(0); }, -1},
        {"remove the only row", 1, 0, [](ListModel &m) { m.RemoveItem(0); }, -1},
        {"remove above it", 6, 5, [](ListModel &m) { m.RemoveItem(2); }, 4},
        {"remove the current row", 6, 3, [](ListModel &m) { m.RemoveItem(3); }, 3},
        {"remove the current last row", 6, 5, [](ListModel &m) { m.RemoveItem(5); }, 4},
        {"remove below it", 6, 2, [](ListModel &m) { m.RemoveItem(4); }, 2},
        {"remove with a stale index", 3, 9, [](ListModel &m) { m.RemoveItem(2); }, 1},
        {"move keeps the index", 6, 0, [](ListModel &m) { m.MoveItem(0, 5); }, 0},
        {"sort keeps the index", 6, 2, [](ListModel &m) { m.Sort(0, 1); }, 2},
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
    EXPECT_EQ(m.ColumnIndex(key("Fehlt")), 0);
    // Texts that read as numbers and numbers with fractions are positions.
    EXPECT_EQ(m.ColumnKey(1), u("Leer"));
    EXPECT_EQ(m.ColumnCaption(key(" 2")), u("PFAD"));
    EXPECT_EQ(m.ColumnCaption(QVariant(1.5)), u("PFAD"));
    EXPECT_EQ(m.ColumnCaption(QVariant(0.5)), u("ANZAHL"));

    m.RemoveColumn(key("anzahl"));
    EXPECT_EQ(m.ColumnCount(), 2);
    EXPECT_EQ(m.ColumnKey(0), u("Leer"));
    EXPECT_EQ(m.Columns().SlotCount(), 3);
    EXPECT_EQ(m.Columns().Item(2), nullptr);
    EXPECT_THROW(m.ColumnCaption(2), RaisedError);
    m.AddColumn(u("Neu"));
    EXPECT_EQ(m.Columns().SlotCount(), 3);
    EXPECT_EQ(m.ColumnKey(2), u("Neu"));

    // A number matches keys that read as it; the last match wins.
    ListModel n(kGerman);
    fill(n, {"x", "1", " 1,0", "y"}, 0);
    EXPECT_EQ(n.ColumnIndex(QVariant(1)), 2);
    EXPECT_EQ(n.ColumnIndex(key("1")), 1);
}

struct PairCase
{
    const QLocale *locale;
    const char *a;
    const char *b;
    int order;
    int expected;
};

TEST(SortCallback, DecidesNumberDateOrTextForEachPair)
{
    const PairCase cases[] = {
        {&kGerman, "10", "9", 0, -1}, // numbers: larger first
        {&kGerman, "9", "10", 0, 1},
        {&kGerman, "10", "9", 1, 1},         // order 1 inverts
        {&kGerman, "10", "9", 2, -1},        // other orders do not
        {&kGerman, "  1.234", "999", 0, -1}, // padded, German grouping
        {&kGerman, "1.234", " 1234,0 ", 0, 0},
        {&kGerman, "1,5", "1,25", 0, -1},
        {&kEnglish, "1.234", "999", 0, 1}, // a decimal point in English
        {&kEnglish, "1,234", "999", 0, -1},
        {&kGerman, "12", "abc", 0, -1}, // a word makes it text
        {&kGerman, "abc", "12", 0, 1},
        {&kGerman, "12.34", "9", 0, -1}, // misgrouped: text "1" < "9"
        {&kGerman, "b", "A", 0, 1},      // text ignores case
        {&kGerman, "abc", "ABC", 0, 0},
        {&kGerman, "a", "B", 1, 1},
        {&kGerman, "ä", "b", 0, -1}, // locale order, not code units
        {&kGerman, "", "a", 0, -1},
        {&kGerman, "", "", 0, 0},
        {&kGerman, "15.01.2024", "01.02.2024", 0, 1}, // dates: later first
        {&kGerman, "01.02.2024", "1.2.24", 0, 0},
        {&kGerman, "01.01.29", "01.01.1930", 0, -1}, // two-digit 29 is 2029
        {&kGerman, "01.01.30", "01.01.1929", 0, -1}, // and 30 is 1930
        {&kGerman, "01.02.2024", "abc", 0, -1},
        {&kEnglish, "2/1/2024", "1/15/2024", 0, -1},
        {&kGerman, "1e30", "5", 0, 0}, // too large to convert: equal
    };
    for (const auto &c : cases) {
        SortCallback::SetSortLocale(*c.locale);
        SortCallback::SetSortColumn(1);
        SortCallback::SetSortOrder(c.order);
        ListItem a(2), b(2);
        a.SetText(1, u(c.a));
        b.SetText(1, u(c.b));
        EXPECT_EQ(SortCallback::CompareListItems(a, b), c.expected) << c.a << " / " << c.b << " order " << c.order;
    }
}

struct NumberCase
{
    const QLocale *locale;
    const char *text;
    bool numeric;
    double value;
};

TEST(SortCallback, ReadsNumbersTheLocaleWay)
{
    const QLocale french(QLocale::French, QLocale::France);
    const NumberCase cases[] = {
        {&kGerman, "  1.234", true, 1234},
        {&kGerman, "1.234.567,5", true, 1234567.5},
        {&kGerman, "-1.000", true, -1000},
        {&kGerman, "+7", true, 7},
        {&kGerman, ",5", true, 0.5},
        {&kGerman, "1,5E3", true, 1500},
        {&kGerman, "12.34", false, 0},
        {&kGerman, "1234.567", false, 0},
        {&kGerman, "1.", false, 0},
        {&kGerman, "1,5E", false, 0},
        {&kGerman, "", false, 0},
        {&kGerman, "  ", false, 0},
        {&kGerman, "-", false, 0},
        {&kGerman, "1 2", false, 0},
        {&kGerman, "1e400", false, 0},
        {&kGerman, "inf", false, 0},
        {&kEnglish, "1,234.5", true, 1234.5},
        {&kEnglish, "1,5", false, 0},
        {&french, "12 345,5", true, 12345.5},
    };
    for (const auto &c : cases) {
        double value = 0;
        EXPECT_EQ(SortCallback::ReadNumber(u(c.text), *c.locale, &value), c.numeric) << c.text;
        if (c.numeric) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

struct DateCase
{
    const QLocale *locale;
    const char *text;
    QDate date; // invalid: not a date
};

TEST(SortCallback, ReadsDatesInTheShortFormat)
{
    const QLocale hungarian(QLocale::Hungarian, QLocale::Hungary);
    const QLocale c = QLocale::c();
    const DateCase cases[] = {
        {&kGerman, "01.02.2024", QDate(2024, 2, 1)},
        {&kGerman, " 1.2.24 ", QDate(2024, 2, 1)},
        {&kGerman, "31.12.99", QDate(1999, 12, 31)},
        {&kGerman, "30.02.2024", QDate()},
        {&kGerman, "01.02.202", QDate()},
        {&kGerman, "01/02/2024", QDate()},
        {&kGerman, "1.234", QDate()},
        {&kGerman, "001.02.2024", QDate()},
        {&kEnglish, "2/1/2024", QDate(2024, 2, 1)},
        {&hungarian, "2024. 02. 01.", QDate(2024, 2, 1)},
        {&hungarian, "2024. 02. 01", QDate(2024, 2, 1)},
        {&c, "1 Feb 2024", QDate(2024, 2, 1)},
    };
    for (const auto &d : cases) {
        QDate date;
        EXPECT_EQ(SortCallback::ReadDate(u(d.text), *d.locale, &date), d.date.isValid()) << d.text;
        EXPECT_EQ(date, d.date) << d.text;
    }
}

struct SortCase
{
    QStringList cells;
    int order;
    QStringList expected;
};

TEST(ListModel, SortsEachColumnByWhatItsCellsReadAs)
{
    const SortCase cases[] = {
        {texts({"10", "9", "100"}), 0, texts({"100", "10", "9"})},
        {texts({"10", "9", "100"}), 1, texts({"9", "10", "100"})},
        {texts({"b", "A", "c"}), 0, texts({"A", "b", "c"})},
        {texts({"b", "A", "c"}), 1, texts({"c", "b", "A"})},
        {texts({"   999", "  1.234", " 12.345"}), 0, texts({" 12.345", "  1.234", "   999"})},
        {texts({"03.12.2023", "01.02.2024", "15.01.2024"}), 0, texts({"01.02.2024", "15.01.2024", "03.12.2023"})},
        // Pairs of numbers compare as numbers, pairs with a word as text.
        {texts({"abc", "10", "20"}), 0, texts({"20", "10", "abc"})},
    };
    for (const auto &c : cases) {
        ListModel m(kGerman);
        m.AddColumn(u("Tag"));
        m.AddColumn(u("Wert"));
        for (int r = 0; r < c.cells.size(); ++r) {
            m.AddItem(-1, QString::number(r));
            m.SetItemText(r, 1, c.cells[r]);
        }
        m.Sort(key("Wert"), c.order);
        EXPECT_EQ(column(m, 1), c.expected) << c.cells.join(u',').toStdString();
        EXPECT_EQ(SortCallback::SortColumn(), 1);
        EXPECT_EQ(SortCallback::SortOrder(), c.order);
    }
}

TEST(ListModel, SortOnlyMovesRowsOfAValidColumnAndReportsNothing)
{
    ListModel empty(kGerman);
    empty.AddColumn(u("Wert"));
    empty.Sort(0, 0); // nothing to sort, and no failure

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
    // A number is no key: it resolves to column 0, like an unknown key.
    m.Sort(1, 1);
    EXPECT_EQ(column(m, 0), texts({"c", "b", "a"}));
    m.Sort(key("Fehlt"), 0);
    EXPECT_EQ(column(m, 0), texts({"a", "b", "c"}));
    m.Sort(key("Wert"), 1);
    EXPECT_EQ(column(m, 1), texts({"C", "B", "A"}));
    EXPECT_EQ(m.ItemTag(0), 1); // rows move whole
    EXPECT_EQ(rec.log, QString());
}

struct Element
{
    int key;
    char tag;
};

struct ShellCase
{
    std::vector<Element> input;
    const char *expected; // tags in the order left behind
    int comparisons;
};

TEST(ShellSort, FollowsTheGapSequenceMoveForMove)
{
    const ShellCase cases[] = {
        {{}, "", 0},
        {{{1, 'a'}}, "a", 0},
        {{{3, 'a'}, {2, 'b'}, {1, 'c'}}, "cba", 3},
        {{{1, 'a'}, {2, 'b'}, {3, 'c'}, {4, 'd'}, {5, 'e'}}, "abcde", 5},
        // The gap-4 pass carries e past b, c and d although all four are equal.
        {{{1, 'a'}, {0, 'b'}, {0, 'c'}, {0, 'd'}, {0, 'e'}}, "ebcda", 5},
    };
    for (const auto &c : cases) {
        std::vector<Element> v = c.input;
        int comparisons = 0;
        ShellSort::Sort(v.data(), int(v.size()), [&](const Element &l, const Element &r) {
            ++comparisons;
            return l.key > r.key ? 1 : (l.key < r.key ? -1 : 0);
        });
        std::string order;
        for (const auto &e : v)
            order += e.tag;
        EXPECT_EQ(order, c.expected);
        EXPECT_EQ(comparisons, c.comparisons) << c.expected;
    }
}

TEST(ListModel, MoveItemBothWays)
{
    struct MoveCase
    {
        int from;
        int to;
        QStringList expected;
    };
    const MoveCase cases[] = {
        {0, 3, texts({"r1", "r2", "r3", "r0", "r4"})}, {3, 0, texts({"r3", "r0", "r1", "r2", "r4"})},
        {0, 4, texts({"r1", "r2", "r3", "r4", "r0"})}, {4, 0, texts({"r4", "r0", "r1", "r2", "r3"})},
        {2, 2, texts({"r0", "r1", "r2", "r3", "r4"})},
    };
    for (const auto &c : cases) {
        ListModel m(kGerman);
        fill(m, {"Name"}, 5);
        m.MoveItem(c.from, c.to);
        EXPECT_EQ(column(m, 0), c.expected) << c.from << "->" << c.to;
        m.MoveItem(c.to, c.from);
        EXPECT_EQ(column(m, 0), texts({"r0", "r1", "r2", "r3", "r4"})) << c.to << "->" << c.from;
    }
}

TEST(ListModel, ReportsEachChangeToTheObserver)
{
    struct ReportCase
    {
        const char *name;
        std::function<void(ListModel &)> action;
        const char *log;
    };
    const ReportCase cases[] = {
        {"add row", [](ListModel &m) { m.AddItem(); }, "SR"},
        {"remove row", [](ListModel &m) { m.RemoveItem(0); }, "SR"},
        {"move row", [](ListModel &m) { m.MoveItem(0, 1); }, "R"},
        {"clear", [](ListModel &m) { m.Clear(); }, "R"},
        {"text", [](ListModel &m) { m.SetItemText(0, 0, u("x")); }, "R"},
        {"check", [](ListModel &m) { m.SetItemChecked(0, true); }, "R"},
        {"select", [](ListModel &m) { m.SetItemSelected(0, true); }, "R"},
        {"tag", [](ListModel &m) { m.SetItemTag(0, 7); }, "R"},
        {"current row", [](ListModel &m) { m.SetSelectedItem(1); }, "R"},
        {"caption", [](ListModel &m) { m.SetColumnCaption(0, u("x")); }, "R"},
        {"align", [](ListModel &m) { m.SetColumnTextAlign(0, 1); }, "R"},
        {"width", [](ListModel &m) { m.SetColumnWidth(0, 10); }, "F"},
        {"visible", [](ListModel &m) { m.SetColumnVisible(0, false); }, "F"},
        {"resizable", [](ListModel &m) { m.SetColumnResizable(0, false); }, "F"},
        {"add column",
         [](ListModel &m) {
             m.Clear();
             m.AddColumn(u("Neu"));
         },
         "RF"},
        {"remove column",
         [](ListModel &m) {
             m.Clear();
             m.RemoveColumn(0);
         },
         "RF"},
        {"sort", [](ListModel &m) { m.Sort(0, 0); }, ""},
        {"reads",
         [](ListModel &m) {
             m.ItemText(0, 0);
             m.ColumnWidth(0);
         },
         ""},
    };
    for (const auto &c : cases) {
        ListModel watched(kGerman), headless(kGerman);
        fill(watched, {"Name"}, 2);
        fill(headless, {"Name"}, 2);
        Recorder rec;
        watched.SetObserver(&rec);
        c.action(watched);
        c.action(headless);
        EXPECT_EQ(rec.log, u(c.log)) << c.name;
        EXPECT_EQ(snapshot(headless), snapshot(watched)) << c.name;
    }
}

} // namespace
