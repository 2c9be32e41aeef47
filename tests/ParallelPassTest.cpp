// A search read ahead on worker threads against the same search on one thread:
// the same results in the same order, the same stop, on random trees whose
// files vanish or change after they were collected, and through a whole run.
// A replace with a thread working ahead against one without: the same
// results, files and backup, also where files change while it runs.
#include "BackupArchive.h"
#include "FakeRunHost.h"
#include "FileCollector.h"
#include "FilePass.h"
#include "ReplaceAhead.h"
#include "SearchAhead.h"
#include "ZipReader.h"

#include <QDir>
#include <QDirIterator>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

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

// Runs the pass with a sink that records the rows and sets the stop flag
// while file stopAfter is reported.
Outcome run(FilePass &pass, const std::vector<FilePass::Item> &items, int stopAfter)
{
    Outcome out;
    Recorder sink;
    sink.stopAfter = stopAfter;
    sink.abort = &out.abort;
    pass.AddSink(sink);
    // Handed on in pieces, as a walk finds them: the workers start on the
    // first while the others are still to come.
    for (std::size_t from = 0; from < items.size(); from += 1 + from % 7)
        pass.Add({items.begin() + from, items.begin() + std::min(items.size(), from + 1 + from % 7)});
    pass.Run(out.abort);
    out.rows = sink.rows;
    return out;
}

Outcome search(const PassSettings &settings, const std::vector<FilePass::Item> &items, int threads, int stopAfter)
{
    const Threads use(threads);
    FilePass pass(settings);
    return run(pass, items, stopAfter);
}

std::vector<FilePass::Item> collect(const QString &folder)
{
    int abort = 0, next = 0;
    FileCollector collector(abort, [] {});
    std::vector<FileCollector::Found> found;
    collector.CollectFiles(folder, u("*.txt"), found, true, next);
    std::vector<FilePass::Item> items;
    for (std::size_t i = 0; i < found.size(); ++i)
        items.push_back({found[i].path, int(i), found[i].path.startsWith(FileCollector::Marker), found[i].device,
                         found[i].inode, found[i].plainFile});
    return items;
}

// A file of random words in folder a or b/c below folder: mostly small, now
// and then of several pieces, now and then in UTF-16.
void putRandomFile(const std::function<int(int)> &pick, const QString &folder, int f)
{
    static const QByteArray words[] = {"Suchwort ", "SUCHWORT\r\n", "suchwörter ", "x", "\xFC\xDF ", "Such\nwort "};
    QByteArray bytes;
    const int parts = pick(20) == 0 ? 60000 : pick(300);
    for (int p = 0; p < parts; ++p)
        bytes += words[pick(6)];
    put(QStringLiteral("%1/%2/%3.txt").arg(folder, pick(3) ? u("a") : u("b/c")).arg(f),
        pick(10) == 0 ? cFileResder::EncodeText(QString::fromLatin1(bytes), TextEncoding::Utf16LE) : bytes);
}

TEST(ParallelPass, RandomTreesGiveWhatOneThreadGives)
{
    std::mt19937 random(20261206);
    const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    PassSettings s;
    s.find = u("Suchwort");
    s.mode = RunMode::SearchOnly;
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir dir;
        const int files = 1 + pick(40);
        for (int f = 0; f < files; ++f)
            putRandomFile(pick, dir.path(), f);
        const std::vector<FilePass::Item> items = collect(dir.path());
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

// Every entry of the archive in the folder: its records and its data.
QStringList archiveIn(const QString &folder)
{
    QStringList entries;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        const int fd = ::open(QFile::encodeName(folder + u("/") + name).constData(), O_RDONLY);
        ZipReader zip;
        EXPECT_EQ(zip.Open(fd), ZipReader::Error::None) << name.toStdString();
        for (const ZipReader::Entry &e : zip.Entries()) {
            std::string data;
            EXPECT_EQ(zip.Extract(
                          e, [&](const std::uint8_t *p, std::size_t n) { return data.append((const char *)p, n), 0; }),
                      ZipReader::Error::None);
            entries << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                           .arg(QString::fromStdString(e.name))
                           .arg(e.method)
                           .arg(e.compressedSize)
                           .arg(e.localOffset)
                           .arg(QByteArray::fromStdString(e.extra).toHex(), QByteArray::fromStdString(data).toHex());
        }
        ::close(fd);
    }
    return entries;
}

TEST(ParallelPass, ReplacesWithAThreadAheadGiveWhatOneThreadGives)
{
    PassSettings s;
    s.find = u("Suchwort");
    s.replacement = u("Fundstück");
    s.mode = RunMode::SearchAndReplace;
    QTemporaryDir dir, backups;
    const QString tree = dir.filePath(u("baum"));
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        // The same tree, the same changes and the same stop for every pass.
        const auto runOnce = [&](int threads, int stopAfter) {
            std::mt19937 random(round);
            const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
            QDir(tree).removeRecursively();
            QDir(backups.path()).removeRecursively();
            QDir().mkpath(backups.path());
            const int files = 2 + pick(30);
            for (int f = 0; f < files; ++f) {
                putRandomFile(pick, tree, f);
                // Other names of a file before it: a later one reads what the earlier one became.
                if (f > 0 && pick(6) == 0)
                    ::link(QFile::encodeName(QStringLiteral("%1/a/%2.txt").arg(tree).arg(f - 1)).constData(),
                           QFile::encodeName(tree + QStringLiteral("/a/%1-l.txt").arg(f)).constData());
                if (f > 0 && pick(6) == 0)
                    QFile::link(QStringLiteral("%1.txt").arg(f - 1), tree + QStringLiteral("/a/%1-s.txt").arg(f));
            }
            const std::vector<FilePass::Item> items = collect(tree);
            const Threads use(threads);
            BackupArchive archive(backups.path() + u("/"), tree, QDateTime::currentDateTime(), QLocale::c());
            EXPECT_EQ(archive.Open(), QString());
            FilePass pass(s, &archive);
            pass.SetStartFolder(tree);
            // While a file is written, another program changes files further on.
            pass.SetBeforeWrite([&](const QString &) {
                if (pick(4) == 0) {
                    const FilePass::Item &later = items[pick(int(items.size()))];
                    QByteArray bytes = bytesOf(later.path);
                    // Now and then of the same size: only the bytes tell.
                    if (pick(2) && !bytes.isEmpty())
                        bytes[0] = bytes[0] == 'S' ? 's' : 'S';
                    else
                        bytes = pick(2) ? QByteArray("Suchwort ist neu") : QByteArray();
                    if (!later.skip)
                        put(later.path, bytes);
                }
            });
            const Outcome out = run(pass, items, stopAfter);
            EXPECT_EQ(archive.Complete(), QString());
            QStringList contents;
            QDirIterator it(tree, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                contents << path + u("=") + QString::fromLatin1(bytesOf(path).toHex());
            }
            contents.sort();
            return std::make_tuple(out.rows, archiveIn(backups.path()), contents, out.abort);
        };
        const auto one = runOnce(1, 0);
        ASSERT_EQ(runOnce(0, 0), one);
        const int k = 1 + round % 7;
        EXPECT_EQ(runOnce(0, k), runOnce(1, k));
    }
}

// The item the pass waits for is the one it gets; what it gets is always the
// item it asked for.
TEST(ReplaceAhead, ThePassGetsTheItemItWaitsFor)
{
    std::atomic<int> started{-1};
    ReplaceAhead ahead(40, [&](std::size_t i, const std::atomic<bool> &) {
        started = int(i);
        if (i % 10 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        auto file = std::make_shared<PreparedFile>();
        file->raw = QByteArray::number(qulonglong(i));
        return std::shared_ptr<const PreparedFile>(file);
    });
    while (started < 0)
        std::this_thread::yield();
    const auto first = ahead.Take(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->raw, "0");
    for (std::size_t i = 1; i < 40; ++i) {
        if (const auto file = ahead.Take(i)) {
            EXPECT_EQ(file->raw, QByteArray::number(qulonglong(i)));
        }
    }
}

// A disk that has been read from once every few looks.
std::atomic<long> g_looks{0};
long diskReadEveryFewLooks()
{
    return g_looks.fetch_add(1) / 4;
}

TEST(SearchAhead, MoreWorkersStartOnceTheDiskIsReadAndResultsKeepTheirOrder)
{
    std::mutex mutex;
    std::set<std::thread::id> workers;
    SearchAhead ahead(
        6, 1,
        [&](const std::atomic<bool> &) -> SearchAhead::Work {
            return [&](const FilePass::Item &item) -> std::optional<FileResult> {
                {
                    const std::lock_guard lock(mutex);
                    workers.insert(std::this_thread::get_id());
                }
                std::this_thread::sleep_for(std::chrono::microseconds(20));
                FileResult r;
                r.count = item.position;
                return r;
            };
        },
        diskReadEveryFewLooks);
    const int total = 3000;
    for (int from = 0; from < total; from += 100) {
        std::vector<FilePass::Item> items;
        for (int i = from; i < from + 100; ++i)
            items.push_back({QString(), i, i % 97 == 0});
        ahead.Add(std::move(items));
    }
    ahead.Close();
    int abort = 0;
    std::vector<FileResult> ready;
    std::vector<qint64> counts;
    while (counts.size() < std::size_t(total)) {
        ahead.TakeReady(ready, abort, {});
        for (const FileResult &r : ready)
            counts.push_back(r.count);
    }
    for (int i = 0; i < total; ++i)
        ASSERT_EQ(counts[std::size_t(i)], i % 97 == 0 ? 0 : i) << i;
    EXPECT_GT(workers.size(), 1u);
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
