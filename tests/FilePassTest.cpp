// The file pass through a recording sink: one case per outcome, asserted on
// the typed results, never on display strings.
#include "FilePass.h"

#include "NativePath.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    mode_t mode = 0644;
    bool alsoReadOnly = false;
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
    const PassCase cases[] = {
        {"written", "alt und alt", false, 0644, false, false, Outcome::Written, 2, TextEncoding::Utf8, "neu und neu"},
        {"no finds", "nichts", false, 0644, false, false, Outcome::Unchanged, 0, TextEncoding::Utf8, "nichts"},
        {"finds that change nothing", "ALT", false, 0644, false, false, Outcome::Unchanged, 1, TextEncoding::Utf8,
         "ALT", "ALT"},
        {"empty", "", false, 0644, false, false, Outcome::Empty, 0, TextEncoding::Ansi, ""},
        {"read-only skipped", "alt", false, 0444, false, false, Outcome::SkippedReadOnly, 0, TextEncoding::Ansi, "alt"},
        {"read-only asked for", "alt", false, 0444, true, false, Outcome::Written, 1, TextEncoding::Utf8, "neu"},
        {"odd UTF-16 cannot come back",
         QByteArray("\xFF\xFE"
                    "a\0l\0t\0x",
                    9),
         false, 0644, false, false, Outcome::LossyOriginal, 1, TextEncoding::Utf16LE,
         QByteArray("\xFF\xFE"
                    "a\0l\0t\0x",
                    9),
         "neu", "Die Datei lässt sich in ihrer Kodierung (UTF16LE (BOM FF FE)) nicht verlustfrei zurückschreiben"},
        {"new text the encoding cannot hold", "Pr\xE4mie alt", false, 0644, false, false, Outcome::LossyNewText, 1,
         TextEncoding::Ansi, "Pr\xE4mie alt", "€",
         "Der neue Text enthält Zeichen, die in der Kodierung ANSI nicht darstellbar sind"},
        {"changed on disk", "alt", false, 0644, false, true, Outcome::ChangedOnDisk, 1, TextEncoding::Utf8,
         "jemand anderes", "neu", "Die Datei wurde seit dem Lesen verändert"},
        {"missing", "", true, 0644, false, false, Outcome::Missing, 0, TextEncoding::Ansi, "<missing>", "neu",
         "Datei nicht gefunden"},
    };
    for (const PassCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        if (!c.missing) {
            put(path, c.file);
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        }
        PassSettings s = replacing("alt", c.replacement);
        s.alsoReadOnly = c.alsoReadOnly;
        FilePass pass(s);
        Recorder sink;
        pass.AddSink(sink);
        if (c.changeBeforeWrite)
            pass.SetBeforeWrite([](const QString &p) {
                QFile f(p);
                f.open(QIODevice::WriteOnly | QIODevice::Truncate);
                f.write("jemand anderes");
            });
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
        if (!c.missing) {
            struct stat st;
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, c.mode) << "a cleared read-only bit comes back";
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

// A file larger than one piece of text (4 MiB), then a small one.
struct LargeThenSmall
{
    bool largeUnchanged() const
    {
        QFile f(items[0].path);
        return f.open(QIODevice::ReadOnly) && f.readAll() == large;
    }

    QTemporaryDir dir;
    const QByteArray large = QByteArray(5 << 20, ' ') + "alt";
    std::vector<FilePass::Item> items{{put(dir.filePath(QStringLiteral("large.txt")), large), 4},
                                      {put(dir.filePath(QStringLiteral("small.txt")), "alt"), 5}};
};

// Memory running out for one file: that file is left as it was and reported
// as too large; the pass goes on with the next.
TEST(FilePass, FileWithoutEnoughMemoryIsReportedAndThePassGoesOn)
{
    const auto noMemory = [] { throw std::bad_alloc(); };
    for (const RunMode mode : {RunMode::SearchOnly, RunMode::SearchAndReplace}) {
        SCOPED_TRACE(static_cast<int>(mode));
        LargeThenSmall files;
        PassSettings s = replacing("alt", "neu");
        s.mode = mode;
        FilePass pass(s);
        Recorder sink;
        pass.AddSink(sink);
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
