// Times the results list with 100,000 rows: adding them with Redraw off, a full repaint, a page scroll and two sorts.
//
//   listview_bench [ROWS]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise. Each
// figure is printed with a floor measured in the same run on the same data:
// the add against storing the same texts in plain vectors, the repaint and
// the scroll against one fill of the window, the sorts against std::sort of
// the same cells with a plain comparison.
#include "ListView.h"
#include "ScrollBars.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Millis(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

struct RowTexts
{
    QString count, name, folder, encoding;
};

// Deterministic rows that look like results: counts 1 .. 4999, names and
// folders in a mixed order so that neither sort starts from sorted input.
std::vector<RowTexts> MakeRows(int rows)
{
    std::vector<RowTexts> out;
    out.reserve(std::size_t(rows));
    unsigned state = 12345;
    const char *labels[] = {"ANSI", "UTF-8", "UTF-8 BOM", "UTF-16 LE", "UTF-16 BE"};
    for (int i = 0; i < rows; ++i) {
        state = state * 1103515245u + 12345u;
        const unsigned r = state >> 8;
        out.push_back({QString::number(1 + r % 4999), QStringLiteral("datei_%1.txt").arg(r % 100000),
                       QStringLiteral("/home/nutzer/projekte/teil%1/ordner%2/").arg(r % 37).arg(i % 1000),
                       QString::fromLatin1(labels[r % 5])});
    }
    return out;
}

void Report(const char *what, double ms, double goal, const char *floorName, double floorMs)
{
    std::printf("%-34s %9.2f ms  (goal < %5.0f ms: %s)   %s %8.2f ms, ratio %.1f\n", what, ms, goal,
                ms < goal ? "met" : "MISSED", floorName, floorMs, floorMs > 0 ? ms / floorMs : 0.0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::vector<RowTexts> data = MakeRows(rows);

    ListView list;
    ListView::ApplyResultListDesign(list);
    ListModel &model = list.Model();
    list.SetRedraw(false);
    model.AddColumn(QStringLiteral("Funde"), QStringLiteral("Funde"), TextAlignment::Center, 70);
    model.AddColumn(QStringLiteral("trenner1"), QString(), TextAlignment::Center, 1, false);
    model.AddColumn(QStringLiteral("Dateiname"), QStringLiteral("Dateiname"), TextAlignment::Left, 250);
    model.AddColumn(QStringLiteral("trenner2"), QString(), TextAlignment::Center, 1, false);
    model.AddColumn(QStringLiteral("Pfad"), QStringLiteral("Pfad"), TextAlignment::Left, 538);
    model.AddColumn(QStringLiteral("trenner3"), QString(), TextAlignment::Center, 1, false);
    model.AddColumn(QStringLiteral("Encod."), QStringLiteral("Encod."), TextAlignment::Center, 52);
    list.SetRedraw(true);
    list.resize(960, 640);
    list.show();
    QCoreApplication::processEvents();

    // Adding, the way a run fills the list.
    auto t0 = Clock::now();
    list.SetRedraw(false);
    for (const RowTexts &r : data) {
        const int row = model.AddItem();
        model.SetItemText(row, 0, r.count);
        model.SetItemText(row, 2, r.name);
        model.SetItemText(row, 4, r.folder);
        model.SetItemText(row, 6, r.encoding);
    }
    list.SetCheckboxes(true);
    list.SetRedraw(true);
    auto t1 = Clock::now();
    const double addMs = Millis(t0, t1);

    t0 = Clock::now();
    std::vector<std::vector<QString>> plain;
    plain.reserve(data.size());
    for (const RowTexts &r : data)
        plain.push_back({r.count, QString(), r.name, QString(), r.folder, QString(), r.encoding});
    t1 = Clock::now();
    const double addFloorMs = Millis(t0, t1);

    // One full repaint of the window.
    list.viewport()->repaint();
    t0 = Clock::now();
    list.viewport()->repaint();
    t1 = Clock::now();
    const double paintMs = Millis(t0, t1);

    QImage canvas(list.viewport()->size(), QImage::Format_RGB32);
    t0 = Clock::now();
    {
        QPainter p(&canvas);
        p.fillRect(canvas.rect(), Qt::white);
    }
    t1 = Clock::now();
    const double fillMs = Millis(t0, t1);

    // A page down from the first row: the key, the scroll and the repaint.
    list.setFocus();
    list.Model().SetSelectedItem(0);
    t0 = Clock::now();
    QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QCoreApplication::sendEvent(&list, &pageDown);
    list.viewport()->repaint();
    t1 = Clock::now();
    const double scrollMs = Millis(t0, t1);
    const int topAfterPage = list.TopRow();

    // Sorting by the count column (numbers) and by the path column (texts).
    t0 = Clock::now();
    model.SortByPosition(0, 0);
    list.Refresh();
    list.viewport()->repaint();
    t1 = Clock::now();
    const double sortCountMs = Millis(t0, t1);

    t0 = Clock::now();
    model.SortByPosition(4, 0);
    list.Refresh();
    list.viewport()->repaint();
    t1 = Clock::now();
    const double sortPathMs = Millis(t0, t1);

    std::vector<double> numbers;
    std::vector<QString> paths;
    for (const RowTexts &r : data) {
        numbers.push_back(r.count.toDouble());
        paths.push_back(r.folder);
    }
    t0 = Clock::now();
    std::sort(numbers.begin(), numbers.end(), std::greater<>());
    t1 = Clock::now();
    const double sortNumbersFloorMs = Millis(t0, t1);
    t0 = Clock::now();
    std::sort(paths.begin(), paths.end(),
              [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    t1 = Clock::now();
    const double sortPathsFloorMs = Millis(t0, t1);

    std::printf("listview_bench: %d rows, window %dx%d, %d rows visible, page down to top row %d\n", rows,
                list.viewport()->width(), list.viewport()->height(), list.VisibleRowCount(), topAfterPage);
    Report("add rows (Redraw off)", addMs, 100, "vectors", addFloorMs);
    Report("full repaint", paintMs, 100, "one fill", fillMs);
    Report("page down + repaint", scrollMs, 100, "one fill", fillMs);
    Report("sort by count + repaint", sortCountMs, 1000, "std::sort", sortNumbersFloorMs);
    Report("sort by path + repaint", sortPathMs, 1000, "std::sort", sortPathsFloorMs);
    return 0;
}
