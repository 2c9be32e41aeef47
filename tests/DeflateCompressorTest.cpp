// The Deflate block compressor at every level over many chunkings: zlib inflates every stream to its input,
// and the blocks are decoded here to check that each call codes exactly its chunk and hands back every whole
// byte so far.
#include "DeflateCompressor.h"

#include "Crc32.h"
#include "DeflateConstants.h"

#include <zlib.h>

#include "TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Symbol = std::pair<int, int>; // a literal is {0, byte}, a match {length, distance}
constexpr std::size_t kAll = ~std::size_t(0);

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
    s.resize(n);
    return Bytes(s.begin(), s.end());
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
    const Inflated out = InflateRaw(stream.data(), stream.size(), expected.size());
    if (!out.ok || out.bytes != expected)
        return ::testing::AssertionFailure() << "inflated " << out.bytes.size() << " of " << expected.size() << " bytes";
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

} // namespace
