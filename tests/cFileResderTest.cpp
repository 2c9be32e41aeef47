// Reading and writing text files in the five encodings, byte for byte.
#include "cFileResder.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// The tables of byte strings are laid out by hand, one case a line.
// clang-format off
namespace {

TextEncoding E(int n)
{
    return static_cast<TextEncoding>(n);
}

class CodecFiles : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString write(const QString &name, const QByteArray &bytes) const { return put(path(name), bytes); }

    QTemporaryDir m_dir;
};

QString withLineEnds(QString text, const char *eol)
{
    return text.replace(QLatin1Char('\n'), QLatin1String(eol));
}

// Every text through every encoding and line-end style: the file reads as the
// encoding it was written in (7-bit text without a mark reads as UTF-8), the
// text comes back, and writing it back gives the same bytes.
TEST_F(CodecFiles, EveryEncodingAndLineEndRoundTripsByteForByte)
{
    const QString texts[] = {
        u("Suchwort"),
        u("erste Zeile\nzweite Zeile\n"),
        u("Straße Größe Übung Äpfel Öl\nÄÖÜ äöü ß\n"),
        u("Euro € und Emoji 😀\nKelvin K\n"),
        u("\n\n"),
    };
    const char *eols[] = {"\r\n", "\n", "\r"};
    int n = 0;
    for (const QString &base : texts) {
        for (const char *eol : eols) {
            const QString text = withLineEnds(base, eol);
            for (int enc = 0; enc <= 4; ++enc) {
                if (!cFileResder::CanEncodeLosslessly(text, E(enc)))
                    continue;
                const QByteArray bytes = cFileResder::EncodeText(text, E(enc));
                const QString file = write(QStringLiteral("f%1").arg(n++), bytes);
                bool sevenBit = true;
                for (QChar c : text)
                    sevenBit = sevenBit && c.unicode() < 128;
                const TextEncoding expected = (enc == 0 && sevenBit) ? TextEncoding::Utf8 : E(enc);

                cFileResder codec;
                const QString read = codec.FileRead(file);
                EXPECT_EQ(read, text) << enc;
                EXPECT_EQ(codec.Encoding, expected) << enc << " " << text.toStdString();
                ASSERT_TRUE(codec.FileWrite(file, read, codec.Encoding));
                EXPECT_EQ(bytesOf(file), bytes) << enc << " " << text.toStdString();
            }
        }
    }
}

struct MarkCase
{
    const char *name;
    QByteArray bytes;
    int encoding;
    QString text;
};

TEST_F(CodecFiles, MarksAndEdgeSizes)
{
    const MarkCase cases[] = {
        {"empty file", QByteArray(), 0, QString()},
        {"only UTF-8 mark", QByteArray("\xEF\xBB\xBF"), 1, QString()},
        {"only UTF-16LE mark", QByteArray("\xFF\xFE"), 3, QString()},
        {"only UTF-16BE mark", QByteArray("\xFE\xFF"), 4, QString()},
        {"FF FE 00 00 is UTF-16LE", QByteArray("\xFF\xFE\x00\x00", 4), 3, QString(QChar(0))},
        {"odd UTF-16LE drops last byte", QByteArray("\xFF\xFE" "A\x00" "B", 5), 3, u("A")},
        {"odd UTF-16BE drops last byte", QByteArray("\xFE\xFF\x00" "A\x00", 5), 4, u("A")},
        {"UTF-16BE umlaut", QByteArray("\xFE\xFF\x00\xE4", 4), 4, u("ä")},
        {"half a mark is ANSI", QByteArray("\xEF\xBB"), 0, u("\xC3\xAF\xC2\xBB")},
        {"one high byte is ANSI", QByteArray("\xE4"), 0, u("ä")},
        {"0x80 is U+0080, not the euro sign", QByteArray("\x80"), 0, QString(QChar(0x80))},
        {"7-bit is UTF-8", QByteArray("abc"), 2, u("abc")},
        {"NUL bytes are text", QByteArray("a\0b", 3), 2, QString::fromUtf16(u"a\0b", 3)},
    };
    int n = 0;
    for (const auto &c : cases) {
        const QString file = write(QStringLiteral("m%1").arg(n++), c.bytes);
        cFileResder codec;
        codec.Encoding = E(99);
        EXPECT_EQ(codec.FileRead(file), c.text) << c.name;
        EXPECT_EQ(codec.Encoding, E(c.encoding)) << c.name;
    }
}

// Bytes that are not well-formed UTF-8 must read as 8-bit text: that keeps
// every byte when the file is written back. (The kinds of ill-formed UTF-8
// are tested on the kernel.)
TEST_F(CodecFiles, MalformedUtf8FallsBackToAnsiAndKeepsEveryByte)
{
    const QByteArray cases[] = {
        QByteArray("\xC0\xAF"),                       // overlong '/'
        QByteArray("ok \xF0\x9F\x98"),                // truncated emoji at the end
        QByteArray("Gr\xF6\xDF" "e"),                 // Latin-1 umlauts
        QByteArray(40, 'a') + "\xE4" + QByteArray(40, 'b'), // high byte after a vector block
    };
    int n = 0;
    for (const QByteArray &bytes : cases) {
        const QString file = write(QStringLiteral("bad%1").arg(n++), bytes);
        cFileResder codec;
        const QString text = codec.FileRead(file);
        EXPECT_EQ(codec.Encoding, TextEncoding::Ansi) << n;
        EXPECT_EQ(text, QString::fromLatin1(bytes)) << n;
        ASSERT_TRUE(codec.FileWrite(file, text, codec.Encoding));
        EXPECT_EQ(bytesOf(file), bytes) << n;
    }
}

// What cannot be read (missing, a folder, a FIFO: see PosixFileTest) reads
// as empty text and forgets the encoding of the file read before.
TEST_F(CodecFiles, UnreadableFileReadsAsEmptyAnsiText)
{
    cFileResder codec;
    codec.Encoding = TextEncoding::Utf16LE;
    EXPECT_EQ(codec.FileRead(path(QStringLiteral("missing.txt"))), QString());
    EXPECT_EQ(codec.Encoding, TextEncoding::Ansi);
}

TEST_F(CodecFiles, RawBytesAreHandedBack)
{
    const QByteArray bytes("\xFF\xFE" "a\x00", 4);
    const QString file = write(QStringLiteral("raw"), bytes);
    cFileResder codec;
    QByteArray raw;
    EXPECT_EQ(codec.FileRead(file, false, &raw), u("a"));
    EXPECT_EQ(raw, bytes);
}

} // namespace
// clang-format on
