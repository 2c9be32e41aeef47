// The file pass through a recording sink: one case per outcome, asserted on
// the typed results, never on display strings.
#include "FilePass.h"
#include "NativePath.h"

#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

struct PassCase
{
    const char *name;
    QByteArray file;      // bytes on disk (empty with missing)
    bool missing = false;
    mode_t mode = 0644;
    bool alsoReadOnly = false;
    bool changeBeforeWrite = false;
    Outcome outcome;
    int count;
    TextEncoding encoding;
    QByteArray after; // the file afterwards
};

TEST(FilePass, OneResultPerOutcome)
{
    const PassCase cases[] = {
        {"written", "alt und alt", false, 0644, false, false, Outcome::Written, 2, TextEncoding::Utf8,
         "neu und neu"},
        {"no finds", "nichts", false, 0644, false, false, Outcome::Unchanged, 0, TextEncoding::Utf8, "nichts"},
        {"finds that change nothing", "ALT", false, 0644, false, false, Outcome::Unchanged, 1, TextEncoding::Utf8,
         "ALT"},
        {"empty", "", false, 0644, false, false, Outcome::Empty, 0, TextEncoding::Ansi, ""},
        {"read-only skipped", "alt", false, 0444, false, false, Outcome::SkippedReadOnly, 0, TextEncoding::Ansi,
         "alt"},
        {"read-only asked for", "alt", false, 0444, true, false, Outcome::Written, 1, TextEncoding::Utf8, "neu"},
        {"odd UTF-16 cannot come back", QByteArray("\xFF\xFE" "a\0l\0t\0x", 9), false, 0644, false, false,
         Outcome::LossyOriginal, 1, TextEncoding::Utf16LE, QByteArray("\xFF\xFE" "a\0l\0t\0x", 9)},
        {"changed on disk", "alt", false, 0644, false, true, Outcome::ChangedOnDisk, 1, TextEncoding::Utf8,
         "jemand anderes"},
        {"missing", "", true, 0644, false, false, Outcome::Missing, 0, TextEncoding::Ansi, "<missing>"},
    };
    for (const PassCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        if (!c.missing) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.file);
            f.close();
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        }
        PassSettings s = replacing("alt", c.outcome == Outcome::Unchanged && c.count > 0 ? "ALT" : "neu");
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
        EXPECT_EQ(sink.positions[0], 7);
        EXPECT_EQ(bytesOf(path), c.after);
        if (!c.missing) {
            struct stat st;
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, c.mode) << "a cleared read-only bit comes back";
        }
    }
}

TEST(FilePass, NewTextTheEncodingCannotHold)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ansi.txt"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Pr\xE4mie alt"); // Latin-1: read as ANSI
    f.close();
    const FileResult r = FilePass(replacing("alt", "€")).Process(path);
    EXPECT_EQ(r.outcome, Outcome::LossyNewText);
    EXPECT_TRUE(r.NotWritten());
    EXPECT_EQ(bytesOf(path), QByteArray("Pr\xE4mie alt"));
}

TEST(FilePass, NameThatIsNotUtf8IsSearchedAndWritten)
{
    QTemporaryDir dir;
    const QByteArray native = QFile::encodeName(dir.path()) + "/caf\xE9.txt";
    FILE *f = std::fopen(native.constData(), "wb");
    ASSERT_TRUE(f);
    std::fputs("alt", f);
    std::fclose(f);
    const QString path = NativePath::Decode(native);
    const FileResult r = FilePass(replacing("alt", "neu")).Process(path);
    EXPECT_EQ(r.outcome, Outcome::Written);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(NativePath::Encode(r.path), native);
    EXPECT_TRUE(r.displayPath.endsWith(QStringLiteral("caf\uFFFD.txt")));
    f = std::fopen(native.constData(), "rb");
    ASSERT_TRUE(f);
    char back[8] = {};
    EXPECT_EQ(std::fread(back, 1, sizeof back, f), 3u);
    std::fclose(f);
    EXPECT_STREQ(back, "neu");
}

TEST(FilePass, StopLandsOnTheNextItemAndSkipsAreNotReported)
{
    QTemporaryDir dir;
    std::vector<FilePass::Item> items;
    for (int i = 0; i < 4; ++i) {
        const QString path = dir.filePath(QStringLiteral("f%1.txt").arg(i));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("alt");
        items.push_back({path, i, i == 1});
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

} // namespace
