// The file pass through a recording sink: one case per outcome, asserted on
// the typed results, never on display strings.
#include "FilePass.h"

#include "NativePath.h"
#include "TestSupport.h"
#include "UnreadableFiles.h"

#include <QTemporaryDir>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <thread>

namespace {

using Outcome = FileResult::Outcome;

class Recorder : public ResultSink
{
public:
    void FileDone(const FileResult &result, int position) override
    {
        results.push_back(result);
        positions.push_back(position);
    }
    std::vector<FileResult> results;
    std::vector<int> positions;
};

PassSettings replacing(const char *find, const char *replacement)
{
    PassSettings s;
    s.find = QString::fromUtf8(find);
    s.replacement = QString::fromUtf8(replacement);
    s.mode = RunMode::SearchAndReplace;
    return s;
}

struct PassCase
{
    const char *name;
    QByteArray file; // bytes on disk (empty with missing)
    bool missing = false;
    bool changeBeforeWrite = false;
    Outcome outcome;
    int count;
    TextEncoding encoding;
    QByteArray after; // the file afterwards
    const char *replacement = "neu";
    const char *reason = "";
};

TEST(FilePass, OneResultPerOutcome)
{
    const QByteArray odd("\xFF\xFE"
                         "a\0l\0t\0x",
                         9);
    const PassCase cases[] = {
        {"written", "alt und alt", false, false, Outcome::Written, 2, TextEncoding::Utf8, "neu und neu"},
        {"no finds", "nichts", false, false, Outcome::Unchanged, 0, TextEncoding::Utf8, "nichts"},
        {"finds that change nothing", "ALT", false, false, Outcome::Unchanged, 1, TextEncoding::Utf8, "ALT", "ALT"},
        {"empty", "", false, false, Outcome::Empty, 0, TextEncoding::Ansi, ""},
        {"odd UTF-16 cannot come back", odd, false, false, Outcome::LossyOriginal, 1, TextEncoding::Utf16LE, odd, "neu",
         "Die Datei lässt sich in ihrer Kodierung (UTF16LE (BOM FF FE)) nicht verlustfrei zurückschreiben"},
        {"new text the encoding cannot hold", "Pr\xE4mie alt", false, false, Outcome::LossyNewText, 1,
         TextEncoding::Ansi, "Pr\xE4mie alt", "€",
         "Der neue Text enthält Zeichen, die in der Kodierung ANSI nicht darstellbar sind"},
        {"changed on disk", "alt", false, true, Outcome::ChangedOnDisk, 1, TextEncoding::Utf8, "jemand anderes", "neu",
         "Die Datei wurde seit dem Lesen verändert"},
        {"missing", "", true, false, Outcome::Missing, 0, TextEncoding::Ansi, "<missing>", "neu",
         "Datei nicht gefunden"},
    };
    for (const PassCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        if (!c.missing)
            put(path, c.file);
        FilePass pass(replacing("alt", c.replacement));
        Recorder sink;
        pass.AddSink(sink);
        if (c.changeBeforeWrite)
            pass.SetBeforeWrite([](const QString &p) { put(p, "jemand anderes"); });
        int abort = 0;
        pass.Run({{path, 7}}, abort);
        ASSERT_EQ(sink.results.size(), 1u);
        const FileResult &r = sink.results[0];
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.count, c.count);
        EXPECT_EQ(r.encoding, c.encoding);
        EXPECT_EQ(r.path, path);
        EXPECT_EQ(r.Reason(), u(c.reason));
        EXPECT_EQ(sink.positions[0], 7);
        EXPECT_EQ(bytesOf(path), c.after);
    }
}

// Sets or clears the immutable flag (root only); false where the file system has none.
bool SetImmutable(const std::string &path, bool on)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return done;
}

// Read-only means the user cannot write the file, whatever its bits say to
// its owner; the run's option adds the write bit for a replace (and takes it
// away again) only on the user's own files, and a search changes no mode.
TEST(FilePass, ReadOnlyMeansTheUserCannotWrite)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to own another user's file";
    const struct
    {
        const char *name;
        bool rootOwns; // else the user
        mode_t mode;
        bool alsoReadOnly;
        RunMode mode2;
        Outcome outcome;
        QByteArray after;
        bool immutable = false;
    } cases[] = {
        {"own file skipped", false, 0444, false, RunMode::SearchAndReplace, Outcome::SkippedReadOnly, "alt"},
        {"own file written", false, 0444, true, RunMode::SearchAndReplace, Outcome::Written, "neu"},
        {"root's file skipped", true, 0644, false, RunMode::SearchAndReplace, Outcome::SkippedReadOnly, "alt"},
        {"root's file not taken over", true, 0644, true, RunMode::SearchAndReplace, Outcome::WriteFailed, "alt"},
        {"search changes no mode", false, 0444, true, RunMode::SearchOnly, Outcome::Searched, "alt"},
        // A search that leaves read-only files out decides by the owner's
        // bits where they can tell, and asks the kernel everywhere else.
        {"search takes own file", false, 0644, false, RunMode::SearchOnly, Outcome::Searched, "alt"},
        {"search skips own read-only file", false, 0444, false, RunMode::SearchOnly, Outcome::SkippedReadOnly, "alt"},
        {"search skips root's file", true, 0644, false, RunMode::SearchOnly, Outcome::SkippedReadOnly, "alt"},
        {"search skips own immutable file", false, 0644, false, RunMode::SearchOnly, Outcome::SkippedReadOnly, "alt",
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const TempFolder folder;
        ASSERT_EQ(::chown(folder.path().c_str(), 65534, 65534), 0); // the user's folder
        const std::string native = PutFile(folder.file("f.txt"), "alt");
        const uid_t owner = c.rootOwns ? 0 : 65534;
        ASSERT_EQ(::chown(native.c_str(), owner, owner), 0);
        ASSERT_EQ(::chmod(native.c_str(), c.mode), 0);
        if (c.immutable && !SetImmutable(native, true)) {
            std::printf("(no immutable files on this file system: \"%s\" left out)\n", c.name);
            continue;
        }
        struct stat before, after;
        ::stat(native.c_str(), &before);
        // A mode changed and set back shows in the status change time alone.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(AsOrdinaryUser([&] {
            PassSettings s = replacing("alt", "neu");
            s.mode = c.mode2;
            s.alsoReadOnly = c.alsoReadOnly;
            const FileResult r = FilePass(s).Process(QFile::decodeName(native.c_str()));
            return r.outcome == c.outcome &&
                   (r.outcome != Outcome::WriteFailed || r.Reason().startsWith(u("Schreibfehler: ")));
        }));
        if (c.immutable)
            SetImmutable(native, false);
        ::stat(native.c_str(), &after);
        EXPECT_EQ(FileBytes(native), c.after.toStdString());
        EXPECT_EQ(after.st_mode & 07777, c.mode);
        EXPECT_EQ(after.st_uid, owner);
        if (c.outcome != Outcome::Written && !c.immutable) {
            EXPECT_TRUE(after.st_ctim.tv_sec == before.st_ctim.tv_sec &&
                        after.st_ctim.tv_nsec == before.st_ctim.tv_nsec)
                << "mode or owner touched";
        }
    }
}

TEST(FilePass, NameThatIsNotUtf8IsSearchedAndWritten)
{
    QTemporaryDir dir;
    const QByteArray native = QFile::encodeName(dir.path()) + "/caf\xE9.txt";
    PutFile(native.toStdString(), "alt");
    const QString path = NativePath::Decode(native);
    const FileResult r = FilePass(replacing("alt", "neu")).Process(path);
    EXPECT_EQ(r.outcome, Outcome::Written);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(NativePath::Encode(r.path), native);
    EXPECT_TRUE(r.displayPath.endsWith(QStringLiteral("caf\uFFFD.txt")));
    EXPECT_EQ(FileBytes(native.toStdString()), "neu");
}

TEST(FilePass, StopLandsOnTheNextItemAndSkipsAreNotReported)
{
    QTemporaryDir dir;
    std::vector<FilePass::Item> items;
    for (int i = 0; i < 4; ++i) {
        items.push_back({put(dir.filePath(QStringLiteral("f%1.txt").arg(i)), "alt"), i, i == 1});
    }
    PassSettings s;
    s.find = QStringLiteral("alt");
    FilePass pass(s);
    int abort = 0;
    // A sink that presses stop after the file at position 2.
    struct Stopper : ResultSink
    {
        int &flag;
        std::vector<int> seen;
        explicit Stopper(int &f) : flag(f) {}
        void FileDone(const FileResult &, int position) override
        {
            seen.push_back(position);
            if (position == 2)
                flag = 1;
        }
    } stopper(abort);
    pass.AddSink(stopper);
    pass.Run(items, abort);
    EXPECT_EQ(stopper.seen, (std::vector<int>{0, 2}));
    EXPECT_EQ(abort, 3);
}

TEST(FilePass, FileThatCannotBeReadIsReportedNotSearched)
{
    TempFolder dir;
    const std::string path = PutFile(dir.file("geheim.txt"), "alt");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0); // another user's file
    EXPECT_TRUE(AsOrdinaryUser([&] {
        const FileResult r = FilePass(replacing("alt", "neu")).Process(QString::fromStdString(path));
        return r.outcome == Outcome::Unreadable && !r.Searched() &&
               r.Reason().startsWith(u("Die Datei konnte nicht gelesen werden: ")) && r.error.size() > 0;
    }));
    EXPECT_EQ(FileBytes(path), "alt");
}

TEST(FilePass, AnotherFileInThePlaceOfTheCollectedOneCountsAsGone)
{
    QTemporaryDir dir;
    const QString path = put(dir.filePath(u("f.txt")), "alt");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    const QString other = put(dir.filePath(u("g.txt")), "alt");
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    FilePass pass(replacing("alt", "neu"));
    pass.SetStartFolder(dir.path());
    EXPECT_EQ(pass.Process({path, 0, false, st.st_dev, st.st_ino, true}).outcome, Outcome::Missing);
    EXPECT_EQ(bytesOf(path), QByteArray("alt"));
}

// A file larger than one piece of text (4 MiB), then a small one.
// The hooks below run between the pieces of a file only on the pass's own
// thread; a search read ahead runs them while it waits.
struct OneThread
{
    OneThread() { FilePass::SetThreads(1); }
    ~OneThread() { FilePass::SetThreads(0); }
};

struct LargeThenSmall
{
    bool largeUnchanged() const { return bytesOf(items[0].path) == large; }

    QTemporaryDir dir;
    const QByteArray large = QByteArray(5 << 20, ' ') + "alt";
    std::vector<FilePass::Item> items{{put(dir.filePath(QStringLiteral("large.txt")), large), 4},
                                      {put(dir.filePath(QStringLiteral("small.txt")), "alt"), 5}};
};

// Memory running out for one file: that file is left as it was and reported
// as too large; the pass goes on with the next.
TEST(FilePass, FileWithoutEnoughMemoryIsReportedAndThePassGoesOn)
{
    const OneThread inOrder; // the hook stands for a point inside the file
    const auto noMemory = [] { throw std::bad_alloc(); };
    for (const RunMode mode : {RunMode::SearchOnly, RunMode::SearchAndReplace}) {
        SCOPED_TRACE(static_cast<int>(mode));
        LargeThenSmall files;
        PassSettings s = replacing("alt", "neu");
        s.mode = mode;
        FilePass pass(s);
        Recorder sink;
        UnreadableFiles listed; // what the user is told after the run
        pass.AddSink(sink);
        pass.AddSink(listed);
        if (mode == RunMode::SearchOnly)
            pass.SetWhileWorking(noMemory); // between the pieces of the large file
        else
            pass.SetBeforeWrite([](const QString &path) {
                if (path.endsWith(QStringLiteral("large.txt")))
                    throw std::bad_alloc();
            });
        int abort = 0;
        pass.Run(files.items, abort);
        ASSERT_EQ(sink.results.size(), 2u);
        EXPECT_EQ(sink.results[0].outcome, Outcome::TooLarge);
        EXPECT_EQ(sink.results[0].count, 0);
        EXPECT_FALSE(sink.results[0].Searched());
        EXPECT_EQ(sink.results[0].Reason(), u("Die Datei ist zu groß für den verfügbaren Speicher"));
        EXPECT_FALSE(sink.results[0].NotWritten());
        EXPECT_EQ(listed.Entries().size(), 1u);
        EXPECT_TRUE(files.largeUnchanged());
        EXPECT_EQ(sink.results[1].count, 1);
        EXPECT_EQ(sink.results[1].outcome, mode == RunMode::SearchOnly ? Outcome::Searched : Outcome::Written);
        EXPECT_EQ(abort, 0);
    }
}

// A stop pressed while a large file is worked on ends the pass on that file:
// it is neither written nor reported, and the stop lands on its position.
TEST(FilePass, StopInsideALargeFileLandsOnIt)
{
    const OneThread inOrder; // the hook stands for a point inside the file
    for (const RunMode mode : {RunMode::SearchOnly, RunMode::SearchAndReplace}) {
        SCOPED_TRACE(static_cast<int>(mode));
        LargeThenSmall files;
        PassSettings s = replacing("alt", "neu");
        s.mode = mode;
        FilePass pass(s);
        Recorder sink;
        pass.AddSink(sink);
        int abort = 0;
        pass.SetWhileWorking([&abort] { abort = 1; });
        pass.Run(files.items, abort);
        EXPECT_TRUE(sink.results.empty());
        EXPECT_EQ(abort, 4);
        EXPECT_TRUE(files.largeUnchanged());
        EXPECT_EQ(bytesOf(files.items[1].path), QByteArray("alt"));
    }
}

} // namespace
