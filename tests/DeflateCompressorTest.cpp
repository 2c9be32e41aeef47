// Deflate block compressor and CRC-32: zlib inflates every output, and the symbols are decoded here to check
// which matches were chosen.
#include "DeflateCompressor.h"

#include "Crc32.h"
#include "DeflateConstants.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Symbol = std::pair<int, int>; // a literal is {0, byte}, a match {length, distance}
constexpr std::size_t kAll = ~std::size_t(0);

Bytes BytesOf(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

Bytes RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto &x : b)
        x = std::uint8_t(rng());
    return b;
}

// Sentences from a small vocabulary: repeats at every distance, like the text files that get backed up.
Bytes Prose(std::size_t n, unsigned seed)
{
    static const char *const words[] = {"Datei",   "wird", "ersetzt",          "the",    "backup", "of",
                                        "changed", "file", "<td class=\"x\">", "Ordner", "nicht",  "gefunden",
                                        "\r\n",    "1234"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n)
        s += std::string(words[rng() % std::size(words)]) + (rng() % 7 == 0 ? ". " : " ");
    return BytesOf(s.substr(0, n));
}

// Prose, 70,000 zero bytes across chunk borders, random bytes, copies from exactly 32,768 and 32,769 back, prose.
Bytes MixedData()
{
    Bytes d = Prose(90000, 1);
    d.resize(d.size() + 70000, 0);
    const Bytes noise = RandomBytes(40000, 2);
    d.insert(d.end(), noise.begin(), noise.end());
    for (std::ptrdiff_t back : {32768, 32769}) {
        const Bytes copy(d.end() - back, d.end() - back + 300);
        d.insert(d.end(), copy.begin(), copy.end());
    }
    const Bytes tail = Prose(20000, 3);
    d.insert(d.end(), tail.begin(), tail.end());
    return d;
}

// The outputs of one entry, and each call's input and output sizes.
struct Compressed
{
    Bytes stream;
    std::vector<int> chunkSizes;
    std::vector<std::size_t> outputSizes;
    std::uint32_t crc = 0xFFFFFFFFu;
};

// Compresses data in chunks of the given sizes (repeated while data is left), the last one final; with
// emptyFinal every data chunk is non-final and an empty final chunk follows.
Compressed Compress(const Bytes &data, int level, const std::vector<int> &sizes, bool emptyFinal = false)
{
    Compressed r;
    DeflateContext *context = DeflateInit();
    DeflateBlockDescription block;
    block.greedy = kDeflateLevels[level].greedy;
    block.candidateLimit = kDeflateLevels[level].candidateLimit;
    block.narrowingLength = kDeflateLevels[level].narrowingLength;
    std::size_t offset = 0;
    for (std::size_t k = 0; k == 0 || offset < data.size() || (emptyFinal && !block.final); ++k) {
        const int n = int(std::min(std::size_t(sizes[k % sizes.size()]), data.size() - offset));
        block.input = data.data() + offset;
        block.inputLength = n;
        offset += std::size_t(n);
        block.final = offset == data.size() && (!emptyFinal || n == 0);
        EXPECT_EQ(DeflateBlock(context, block, r.crc, level), 1);
        r.stream.insert(r.stream.end(), block.output.begin(), block.output.end());
        r.chunkSizes.push_back(n);
        r.outputSizes.push_back(block.output.size());
    }
    DeflateFree(context);
    return r;
}

// zlib must inflate the stream to expected and find nothing after the final block.
::testing::AssertionResult Inflates(const Bytes &stream, const Bytes &expected)
{
    Bytes out(expected.size() + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef *>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    const uInt unread = z.avail_in;
    inflateEnd(&z);
    if (rc != Z_STREAM_END || unread != 0 || out != expected)
        return ::testing::AssertionFailure() << "inflate " << rc << ", " << unread << " bytes unread, " << out.size()
                                             << " of " << expected.size() << " bytes out";
    return ::testing::AssertionSuccess();
}

// One fixed-Huffman block as decoded here, and the stream bit where it ended.
struct DecodedBlock
{
    bool final = false;
    std::vector<Symbol> symbols;
    std::size_t endBit = 0;
};

// Decodes fixed-Huffman blocks (RFC 1951, 3.2.6) up to the final one; false for any other block type, a stream
// that stops early or bytes after the final block.
bool DecodeFixed(const Bytes &stream, std::vector<DecodedBlock> &blocks)
{
    static const int lengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    std::size_t bit = 0;
    const auto read = [&](int n) { // least significant bit first; past the end reads ones, which fail below
        int v = 0;
        for (int i = 0; i < n; ++i, ++bit)
            v |= (bit / 8 < stream.size() ? (stream[bit / 8] >> (bit % 8)) & 1 : 1) << i;
        return v;
    };
    const auto code = [&](int n, int v) { // Huffman code bits, most significant first
        for (int i = 0; i < n; ++i)
            v = v << 1 | read(1);
        return v;
    };
    blocks.clear();
    do {
        DecodedBlock block;
        block.final = read(1) == 1;
        if (read(2) != 1)
            return false;
        for (int symbol = 0; symbol != 256;) {
            const int c7 = code(7, 0);
            const int c8 = c7 <= 23 ? 0 : code(1, c7);
            symbol = c7 <= 23 ? 256 + c7 : c8 <= 0xBF ? c8 - 0x30 : c8 <= 0xC7 ? 280 + c8 - 0xC0 : code(1, c8) - 0x100;
            if (symbol > 285 || bit > stream.size() * 8)
                return false;
            if (symbol < 256) {
                block.symbols.push_back({0, symbol});
            } else if (symbol > 256) {
                const int li = symbol - 257;
                const int length = lengthBase[li] + read(li < 8 || li == 28 ? 0 : (li - 4) / 4);
                const int dc = code(5, 0);
                if (dc > 29)
                    return false;
                const int extra = dc < 4 ? 0 : dc / 2 - 1;
                const int distance = (dc < 4 ? dc + 1 : ((2 + dc % 2) << extra) + 1) + read(extra);
                block.symbols.push_back({length, distance});
            }
        }
        block.endBit = bit;
        blocks.push_back(block);
    } while (!blocks.back().final);
    return (bit + 7) / 8 == stream.size();
}

TEST(Crc32, KnownValuesAndSlicingEqualsBytewise)
{
    const std::pair<std::string, std::uint32_t> cases[] = {{"", 0u}, {"abc", 0x352441C2u}, {"123456789", 0xCBF43926u}};
    for (const auto &[text, expected] : cases) {
        EXPECT_EQ(Crc32Update(0xFFFFFFFFu, text.data(), text.size()) ^ 0xFFFFFFFFu, expected) << text;
        EXPECT_EQ(Crc32UpdateBytewise(0xFFFFFFFFu, text.data(), text.size()) ^ 0xFFFFFFFFu, expected) << text;
    }
    // Every length around the 8-byte slices, at every alignment, from a non-trivial start value.
    const Bytes data = RandomBytes(5000, 7);
    for (std::size_t offset = 0; offset < 8; ++offset)
        for (std::size_t length : {0, 1, 3, 4, 7, 8, 9, 15, 16, 17, 33, 255, 4992})
            ASSERT_EQ(Crc32Update(std::uint32_t(length * 2654435761u), data.data() + offset, length),
                      Crc32UpdateBytewise(std::uint32_t(length * 2654435761u), data.data() + offset, length))
                << "offset " << offset << " length " << length;
}

struct Chunking
{
    const char *name;
    std::vector<int> sizes;
    bool emptyFinal;
    std::size_t dataLength; // of MixedData()
    bool matchesAcrossChunks;
};

using RoundTrip = ::testing::TestWithParam<std::tuple<int, Chunking>>;

TEST_P(RoundTrip, InflatesToInputInOneBlockPerCall)
{
    static const Bytes mixed = MixedData();
    const auto &[level, chunking] = GetParam();
    const Bytes data(mixed.begin(), mixed.begin() + std::ptrdiff_t(std::min(chunking.dataLength, mixed.size())));
    const Compressed c = Compress(data, level, chunking.sizes, chunking.emptyFinal);
    EXPECT_TRUE(Inflates(c.stream, data));
    EXPECT_EQ(c.crc, Crc32UpdateBytewise(0xFFFFFFFFu, data.data(), data.size()));

    std::vector<DecodedBlock> blocks;
    ASSERT_TRUE(DecodeFixed(c.stream, blocks));
    ASSERT_EQ(blocks.size(), c.chunkSizes.size());
    std::size_t returned = 0;
    int chunkStart = 0, crossing = 0, matches = 0;
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        SCOPED_TRACE("block " + std::to_string(k));
        EXPECT_EQ(blocks[k].final, k + 1 == blocks.size());
        // Every call hands back all whole bytes so far; the final one also the padded last byte.
        returned += c.outputSizes[k];
        EXPECT_EQ(returned, blocks[k].final ? (blocks[k].endBit + 7) / 8 : blocks[k].endBit / 8);
        int position = chunkStart; // the block codes exactly its chunk
        for (const auto &[length, distance] : blocks[k].symbols) {
            matches += length != 0;
            crossing += length != 0 && position - distance < chunkStart;
            position += std::max(length, 1);
        }
        EXPECT_EQ(position - chunkStart, c.chunkSizes[k]);
        chunkStart = position;
    }
    EXPECT_EQ(crossing > 0, chunking.matchesAcrossChunks);
    if (*std::max_element(chunking.sizes.begin(), chunking.sizes.end()) < kDeflateMinMatch) {
        EXPECT_EQ(matches, 0) << "a chunk of fewer than 4 bytes has only literals";
    }
}

const Chunking kChunkings[] = {
    {"Full", {65536}, false, kAll, true},
    {"FullThenEmptyFinal", {65536}, true, kAll, true},
    {"ExactMultipleOfFull", {65536}, false, 131072, true},
    {"OneShort", {65535}, false, kAll, true},
    {"Mixed", {65536, 1, 65535, 3, 0, 4, 65536, 5, 32768}, false, kAll, true},
    {"TinyThenEmptyFinal", {5, 4, 3, 1}, true, 12000, true},
    {"UnderFour", {1, 2, 3}, false, 9000, false},
};

INSTANTIATE_TEST_SUITE_P(Levels, RoundTrip,
                         ::testing::Combine(::testing::Range(1, 10), ::testing::ValuesIn(kChunkings)),
                         [](const auto &info) {
                             return "L" + std::to_string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

TEST(DeflateBlock, EmptyFinalChunkGivesTwoBytes)
{
    for (int level = 1; level <= 9; ++level) {
        const Compressed c = Compress({}, level, {65536});
        EXPECT_EQ(c.stream.size(), 2u);
        EXPECT_TRUE(Inflates(c.stream, {}));
    }
}

struct SymbolCase
{
    std::string name;
    int level;
    int chunk;
    Bytes input;
    int probe;                    // input position where the expected symbols start
    std::vector<Symbol> expected; // the first symbols from probe on
};

std::vector<SymbolCase> SymbolCases()
{
    // Runs of zero bytes: one literal, then distance-1 matches of at most 258 that never leave fewer than 3.
    std::vector<Symbol> zeros(1, {0, 0});
    zeros.insert(zeros.end(), 254, {258, 1});
    zeros.push_back({3, 1});
    std::vector<SymbolCase> cases;
    for (int level : {1, 7, 9})
        cases.push_back({"Zeros65536L" + std::to_string(level), level, 65536, Bytes(65536, 0), 0, zeros});
    cases.push_back({"Zeros260L7", 7, 65536, Bytes(260, 0), 0, {{0, 0}, {256, 1}, {3, 1}}});
    // Narrowing: the near candidate matches 10 bytes, the far one 20; up to the narrowing length both tie.
    const Bytes narrowing = BytesOf("ABCDEFGHIJKLMNOPQRST.ABCDEFGHIJ,ABCDEFGHIJKLMNOPQRST!");
    cases.push_back({"NarrowTieL1", 1, 65536, narrowing, 32, {{10, 11}}});
    cases.push_back({"NarrowTieL2", 2, 65536, narrowing, 32, {{10, 11}}});
    cases.push_back({"NarrowPicksLongerL3", 3, 65536, narrowing, 32, {{20, 32}}});
    // Candidate limit: the longest candidate is the third; level 1 looks at two.
    const Bytes limited = BytesOf("WXYZabc.WXYZab,WXYZa;WXYZabc!");
    cases.push_back({"LimitTwoL1", 1, 65536, limited, 21, {{6, 13}}});
    cases.push_back({"LimitSixL2", 2, 65536, limited, 21, {{7, 21}}});
    // Lazy matching: a next match longer by 1 loses to the held one, longer by 2 wins; greedy levels take the first.
    cases.push_back({"LazyLongerByOneL7", 7, 65536, BytesOf("abcde#bcdefg%abcdefg!"), 13, {{5, 13}, {0, 'f'}}});
    const Bytes byTwo = BytesOf("abcde#bcdefgh%abcdefgh!");
    for (int level : {5, 7, 9})
        cases.push_back({"LazyLongerByTwoL" + std::to_string(level), level, 65536, byTwo, 14, {{0, 'a'}, {7, 9}}});
    cases.push_back({"GreedyTakesFirstL4", 4, 65536, byTwo, 14, {{5, 14}}});
    // The last 3 positions of a chunk are hashed with the next chunk's first byte.
    cases.push_back({"CarriedPositionsL7", 7, 13, BytesOf("0123456789xyzw-xyzw!"), 15, {{4, 5}}});
    // The window reaches back exactly 32 KiB, also over many chunks, and not one byte further.
    for (int back : {32768, 32769}) {
        Bytes window = RandomBytes(std::size_t(back), 11);
        window.insert(window.end(), window.begin(), window.begin() + 100);
        const std::vector<Symbol> expected =
            back == 32768 ? std::vector<Symbol>{{100, 32768}} : std::vector<Symbol>{{0, window[0]}, {0, window[1]}};
        for (int chunk : {65536, 1000})
            cases.push_back({"Back" + std::to_string(back) + "Chunk" + std::to_string(chunk), 7, chunk, window, back,
                             expected});
    }
    return cases;
}

using SymbolChoice = ::testing::TestWithParam<SymbolCase>;

TEST_P(SymbolChoice, DecodesToExpectedSymbols)
{
    const SymbolCase &c = GetParam();
    const Compressed compressed = Compress(c.input, c.level, {c.chunk});
    ASSERT_TRUE(Inflates(compressed.stream, c.input));
    std::vector<DecodedBlock> blocks;
    ASSERT_TRUE(DecodeFixed(compressed.stream, blocks));
    std::vector<Symbol> symbols; // from the one that starts at probe on
    int position = 0;
    for (const auto &block : blocks)
        for (const Symbol &s : block.symbols) {
            if (position >= c.probe)
                symbols.push_back(s);
            position += std::max(s.first, 1);
        }
    symbols.resize(std::min(symbols.size(), c.expected.size()));
    EXPECT_EQ(symbols, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SymbolChoice, ::testing::ValuesIn(SymbolCases()),
                         [](const auto &info) { return info.param.name; });

} // namespace
