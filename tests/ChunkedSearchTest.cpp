// A file searched and replaced in small pieces against the whole-text way
// (FileRead, TextSearch, EncodeText): the same encoding, finds and new bytes
// in every encoding, with finds, characters and byte sequences cut by the
// borders of the pieces, and a file that turns out not to be UTF-8 late.
#include "ChunkedSearch.h"

#include "TestSupport.h"
#include "TextSearch.h"
#include "cFileResder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct Whole
{
    TextEncoding encoding;
    qint64 count;
    bool changed;
    QByteArray replaced;
    bool comesBack, lossless;
};

Whole wholeWay(const QString &path, const QString &find, const QString &repl, CompareMode compare, bool words)
{
    cFileResder codec;
    QByteArray raw;
    const QString text = codec.FileRead(path, false, &raw);
    Whole w{codec.Encoding, 0, false, {}, cFileResder::EncodeText(text, codec.Encoding) == raw, true};
    QString replaced;
    if (words) {
        const TextSearch::WholeWords r = TextSearch::ReplaceNurGanzeWorte(text, find, repl, compare, true);
        w.count = r.count;
        replaced = r.text;
    } else {
        w.count = TextSearch::CountOccurrences(text, find, 1, compare);
        replaced = TextSearch::ReplaceAll(text, find, repl, compare);
    }
    w.lossless = cFileResder::CanEncodeLosslessly(replaced, codec.Encoding);
    w.changed = replaced != text;
    w.replaced = cFileResder::EncodeText(replaced, codec.Encoding);
    return w;
}

TEST(ChunkedSearch, PiecesGiveWhatTheWholeTextGives)
{
    const char *const pieces[] = {"Wort",   "wort",   "WORT",   " ",      ",", "\n",    "ä", "Ä",
                                  "k",      "K",      "\u212A", "😀",      "a", "€",     "i", "I",
                                  "\u0130", "\uFFFD", "\u00FF", "\u0178", "s", "\u017F"};
    const char *const finds[] = {
        "Wort",   "wort", "a",      "aa",     "😀",      "k", "ä", "Wort Wort Wort wort", "aaaaaaaaaaaaaaaaaab",
        "\u0130", "si",   "\u00FF", "\uFFFD", "k\u00E4"};
    const char *const replacements[] = {"X", "", "😀", "€", "Wort"};
    TempFolder folder;
    const QString path = QString::fromStdString(folder.file("f.txt"));
    std::mt19937 rng(7);
    for (int round = 0; round < 1500; ++round) {
        QString text;
        for (int i = static_cast<int>(rng() % 40); i > 0; --i)
            text += u(pieces[rng() % std::size(pieces)]);
        const auto encoding = static_cast<TextEncoding>(rng() % 5);
        QByteArray bytes = cFileResder::EncodeText(text, encoding);
        switch (rng() % 6) {
        case 0: // a stray byte: ill-formed UTF-8, or an odd length of UTF-16
            bytes.insert(static_cast<qsizetype>(rng() % static_cast<unsigned>(bytes.size() + 1)), '\xC3');
            break;
        case 1: // a long text, so the piece that is not UTF-8 comes late
            bytes = bytes.repeated(20) + "\xE4";
            break;
        default:
            break;
        }
        put(path, bytes);
        const QString find = u(finds[rng() % std::size(finds)]);
        const QString repl = u(replacements[rng() % std::size(replacements)]);
        const auto compare = static_cast<CompareMode>(rng() % 2);
        const bool words = rng() % 2;
        // Small pieces cut everything; larger ones let the vector scans run.
        const qsizetype chunk = 4 + static_cast<qsizetype>(rng() % 2 ? rng() % 12 : rng() % 300);
        SearchPattern::UseWideVectors(rng() % 2);
        SCOPED_TRACE(testing::Message() << "round " << round << " encoding " << static_cast<int>(encoding) << " find "
                                        << find.toStdString() << " chunk " << chunk << " words " << words);
        const Whole want = wholeWay(path, find, repl, compare, words);

        const SearchPattern pattern(find, compare);
        ChunkedSearch search(pattern, words, chunk);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        // The size when opened may be unknown, right, or old: the file grew
        // or shrank since; the whole file is counted in every case.
        const qint64 sizes[] = {-1, bytes.size(), bytes.size() / 2, bytes.size() + 10};
        const ChunkedSearch::Counted counted = search.CountFile(fd, {}, sizes[rng() % 4]);
        ::close(fd);
        ASSERT_EQ(counted.end, ChunkedSearch::End::Done);
        EXPECT_EQ(counted.encoding, want.encoding);
        EXPECT_EQ(counted.count, want.count);

        QByteArray out;
        const ChunkedSearch::Replaced r =
            search.ReplaceBytes(bytes, repl, [&out](QByteArrayView piece) { out.append(piece); }, {});
        EXPECT_EQ(r.encoding, want.encoding);
        EXPECT_EQ(r.count, want.count);
        EXPECT_EQ(r.changed, want.changed);
        EXPECT_EQ(r.originalComesBack, want.comesBack);
        EXPECT_EQ(r.newTextLossless, want.lossless);
        EXPECT_EQ(r.newSize, out.size());
        EXPECT_EQ(out, want.replaced);
    }
    SearchPattern::UseWideVectors(true);
}

} // namespace
