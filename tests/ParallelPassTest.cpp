// A search read ahead on worker threads against the same search on one thread:
// the same results in the same order, the same stop, on random trees whose
// files vanish or change after they were collected, and through a whole run.
#include "FakeRunHost.h"
#include "FileCollector.h"
#include "FilePass.h"

#include <QDir>
#include <random>

namespace {

class Recorder : public ResultSink
{
public:
    void FileDone(const FileResult &r, int position) override
    {
        rows << QStringLiteral("%1|%2|%3|%4|%5|%6")
                    .arg(position)
                    .arg(r.path)
                    .arg(static_cast<int>(r.outcome))
                    .arg(r.count)
                    .arg(static_cast<int>(r.encoding))
                    .arg(r.error);
        if (stopAfter > 0 && rows.size() == stopAfter && abort)
            *abort = 1;
    }
    QStringList rows;
    int stopAfter = 0;
    int *abort = nullptr;
};

// Sets the worker count for one scope.
struct Threads
{
    explicit Threads(int n) { FilePass::SetThreads(n); }
    ~Threads() { FilePass::SetThreads(0); }
};

struct Outcome
{
    QStringList rows;
    int abort = 0;
};

Outcome search(const PassSettings &settings, const std::vector<FilePass::Item> &items, int threads, int stopAfter)
{
    const Threads use(threads);
    FilePass pass(settings);
    Outcome out;
    Recorder sink;
    sink.stopAfter = stopAfter;
    sink.abort = &out.abort;
    pass.AddSink(sink);
    pass.Run(items, out.abort);
    out.rows = sink.rows;
    return out;
}

TEST(ParallelPass, RandomTreesGiveWhatOneThreadGives)
{
    std::mt19937 random(20261206);
    const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    PassSettings s;
    s.find = u("Suchwort");
    s.mode = RunMode::SearchOnly;
    const QByteArray words[] = {"Suchwort ", "SUCHWORT\r\n", "suchwörter ", "x", "\xFC\xDF ", "Such\nwort "};
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir dir;
        const int files = 1 + pick(40);
        for (int f = 0; f < files; ++f) {
            QByteArray bytes;
            // Mostly small files, now and then one of several pieces.
            const int parts = pick(20) == 0 ? 60000 : pick(300);
            for (int p = 0; p < parts; ++p)
                bytes += words[pick(6)];
            const QString name = QStringLiteral("%1/%2.txt").arg(pick(3) ? u("a") : u("b/c")).arg(f);
            QDir(dir.path()).mkpath(QFileInfo(dir.filePath(name)).path());
            put(dir.filePath(name),
                pick(10) == 0 ? cFileResder::EncodeText(QString::fromLatin1(bytes), TextEncoding::Utf16LE) : bytes);
        }
        int abort = 0, next = 0;
        FileCollector collector(abort, [] {});
        std::vector<FileCollector::Found> found;
        collector.CollectFiles(dir.path(), u("*.txt"), found, true, next);
        std::vector<FilePass::Item> items;
        for (std::size_t i = 0; i < found.size(); ++i)
            items.push_back({found[i].path, int(i), found[i].path.startsWith(FileCollector::Marker), found[i].device,
                             found[i].inode, found[i].plainFile});
        // After the walk: files vanish, are put back as other files, change.
        for (const FilePass::Item &item : items) {
            if (item.skip)
                continue;
            switch (pick(12)) {
            case 0:
                QFile::remove(item.path);
                break;
            case 1:
                put(item.path + u(".neu"), "Suchwort");
                QFile::remove(item.path);
                QFile::rename(item.path + u(".neu"), item.path);
                break;
            case 2:
                put(item.path, "Suchwort Suchwort");
                break;
            }
        }
        const Outcome one = search(s, items, 1, 0);
        // 0: as a run has it, one worker per core with larger batches.
        for (const int threads : {0, 2, 5}) {
            const Outcome many = search(s, items, threads, 0);
            ASSERT_EQ(many.rows, one.rows) << threads;
            EXPECT_EQ(many.abort, 0);
        }
        // A stop set while file k is reported lands on the same item.
        const int k = 1 + pick(std::max(1, int(one.rows.size())));
        const Outcome oneStopped = search(s, items, 1, k), manyStopped = search(s, items, round % 2 ? 3 : 0, k);
        EXPECT_EQ(manyStopped.rows, oneStopped.rows);
        EXPECT_EQ(manyStopped.abort, oneStopped.abort);
    }
}

// A whole run in the window's terms: rows, figures and summary.
TEST_F(Run, ParallelSearchShowsWhatOneThreadShows)
{
    for (int e = 0; e <= 4; ++e)
        for (int f = 0; f < 30; ++f)
            file(QStringLiteral("t%1/f%2.txt").arg(e).arg(f),
                 u("Ein Wort, noch ein WORT ").repeated(f * 37 % 11) + u("Größe"), e);
    host.options.chkUnterordner = 1;
    QStringList shown[2];
    QString summaries[2];
    for (const int threads : {1, 4}) {
        const Threads use(threads);
        run.cmdStart_Click(0);
        shown[threads == 4] = rows();
        summaries[threads == 4] = host.info.left(host.info.indexOf(u("Suchzeit")));
    }
    EXPECT_EQ(shown[1], shown[0]);
    EXPECT_EQ(summaries[1], summaries[0]);
    EXPECT_EQ(run.FilesSearched, 150);
}

} // namespace
