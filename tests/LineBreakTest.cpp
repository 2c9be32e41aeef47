// A line break in the search or new text stands for the file's own: counts,
// whole words, the written bytes and the finds viewer agree for LF, CR LF, CR
// and mixed files in every encoding; a file's first break is found across
// the pieces it is read in.
#include "LineBreak.h"

#include "FilePass.h"
#include "FindsDocument.h"
#include "TestSupport.h"
#include "cFileResder.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A file of mixed line ends is matched and written in the form of its first
// line break: a find holds only breaks of that form.
struct FileCase
{
    const char *name;
    const char *text;
    int count;
    const char *after; // replaced by "A" line break "B"
};

TEST(LineBreak, FindsAndNewTextTakeTheFilesForm)
{
    const FileCase cases[] = {
        {"LF", "ä eins\nzwei\neins\nzwei\n", 2, "ä A\nB\nA\nB\n"},
        {"CR LF", "ä eins\r\nzwei\r\neins\r\nzwei\r\n", 2, "ä A\r\nB\r\nA\r\nB\r\n"},
        {"CR", "ä eins\rzwei\reins\rzwei\r", 2, "ä A\rB\rA\rB\r"},
        {"LF first", "ä eins\nzwei\r\neins\r\nzwei\n", 1, "ä A\nB\r\neins\r\nzwei\n"},
        {"CR LF first", "ä eins\r\nzwei\neins\nzwei\r\n", 1, "ä A\r\nB\neins\nzwei\r\n"},
        {"CR first", "ä eins\rzwei\r\neins\rzwei", 2, "ä A\rB\r\nA\rB"},
        {"no break", "ä eins zwei", 0, "ä eins zwei"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(u("f.txt"));
    for (const auto &c : cases) {
        for (int e = 0; e < 5; ++e) {
            const auto encoding = static_cast<TextEncoding>(e);
            // The text boxes give CR LF, the command line what was typed.
            for (const char *find : {"eins\r\nzwei", "eins\nzwei"}) {
                for (const bool words : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << c.name << ", encoding " << e << ", find "
                                 << QByteArray(find).toPercentEncoding().constData() << ", words " << words);
                    const QByteArray before = cFileResder::EncodeText(u(c.text), encoding);
                    put(path, before);
                    PassSettings s;
                    s.find = u(find);
                    s.replacement = u("A\r\nB");
                    s.wholeWords = words;
                    EXPECT_EQ(FilePass(s).Process(path).count, c.count);
                    cFileResder reader;
                    EXPECT_EQ(FindsDocument::Load(reader, path, s.find, words, false).Red.size(),
                              static_cast<std::size_t>(c.count));
                    s.mode = RunMode::SearchAndReplace;
                    const FileResult r = FilePass(s).Process(path);
                    EXPECT_EQ(r.count, c.count);
                    EXPECT_EQ(r.outcome, c.count ? FileResult::Outcome::Written : FileResult::Outcome::Unchanged);
                    EXPECT_EQ(bytesOf(path), cFileResder::EncodeText(u(c.after), encoding));
                }
            }
        }
    }
}

// In a file of mixed line ends a find in the LF or CR form never takes one
// half of a CR LF, so its replace cannot leave the other half behind.
TEST(LineBreak, AFindNeverTakesHalfACrLf)
{
    const struct
    {
        const char *text, *find;
        int count;
        const char *after; // replaced by "X"
    } cases[] = {
        {"a\nzwei\r\nzwei\n", "\r\nzwei", 1, "aX\r\nzwei\n"},
        {"x\reins\r\neins\r", "eins\r\n", 1, "x\reins\r\nX"},
        {"x\r\r\n\r", "\r", 2, "xX\r\nX"}, // CR first: the lone CRs, not the one of the CR LF
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(u("f.txt"));
    for (const auto &c : cases) {
        for (int e = 0; e < 5; ++e) {
            SCOPED_TRACE(testing::Message()
                         << QByteArray(c.text).toPercentEncoding().constData() << ", encoding " << e);
            const auto encoding = static_cast<TextEncoding>(e);
            put(path, cFileResder::EncodeText(u(c.text), encoding));
            PassSettings s;
            s.find = u(c.find);
            s.replacement = u("X");
            EXPECT_EQ(FilePass(s).Process(path).count, c.count);
            cFileResder reader;
            EXPECT_EQ(FindsDocument::Load(reader, path, s.find, false, false).Red.size(),
                      static_cast<std::size_t>(c.count));
            s.mode = RunMode::SearchAndReplace;
            EXPECT_EQ(FilePass(s).Process(path).count, c.count);
            EXPECT_EQ(bytesOf(path), cFileResder::EncodeText(u(c.after), encoding));
        }
    }
}

// A new text with a line break takes the file's form though the search text
// holds none.
TEST(LineBreak, NewTextAloneTakesTheFilesForm)
{
    QTemporaryDir dir;
    const QString path = put(dir.filePath(u("f.txt")), "x\ny");
    PassSettings s;
    s.find = u("x");
    s.replacement = u("1\r\n2");
    s.mode = RunMode::SearchAndReplace;
    EXPECT_EQ(FilePass(s).Process(path).outcome, FileResult::Outcome::Written);
    EXPECT_EQ(bytesOf(path), QByteArray("1\n2\ny"));
}

// The first break of a file read from its start in pieces: a CR at the end
// of a piece is decided by the next one.
TEST(LineBreak, FirstBreakOfAFileAcrossItsPieces)
{
    using F = LineBreak::Form;
    const QByteArray longLine(65535, 'a');
    const QString wideLine(32766, QLatin1Char('a'));
    const struct
    {
        QByteArray bytes;
        std::optional<F> form;
    } cases[] = {
        {longLine + "\r\nx", F::CrLf},
        {longLine + "\rx\n", F::Cr},
        {longLine + "\r", F::Cr},
        {longLine + "a\n", F::Lf},
        {longLine, std::nullopt},
        {cFileResder::EncodeText(wideLine + u("\r\n"), TextEncoding::Utf16LE), F::CrLf},
        {cFileResder::EncodeText(wideLine + u("\r\n"), TextEncoding::Utf16BE), F::CrLf},
        {cFileResder::EncodeText(u("\u0d0a\u0a0d\r"), TextEncoding::Utf16BE), F::Cr}, // units, not bytes
        {QByteArray("\xEF\xBB\xBFz\r\n"), F::CrLf},
    };
    QTemporaryDir dir;
    for (const auto &c : cases) {
        const QString path = put(dir.filePath(u("f.txt")), c.bytes);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(LineBreak::FirstInFile(fd), c.form) << c.bytes.size();
        EXPECT_EQ(LineBreak::FirstInBytes(c.bytes.constData(), c.bytes.size()), c.form) << c.bytes.size();
        ::close(fd);
    }
}

} // namespace
