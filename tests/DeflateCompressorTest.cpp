// The Deflate block compressor at every level over a few chunkings, long runs of
// zeros and copies from exactly 32 KiB and one byte more back: zlib inflates every stream to its input.
#include "DeflateCompressor.h"

#include "Crc32.h"
#include "DeflateConstants.h"
#include "InflateRaw.h"
#include "TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kAll = ~std::size_t(0);

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

// The outputs of one entry, concatenated, and the running CRC.
struct Compressed
{
    Bytes stream;
    std::uint32_t crc = 0xFFFFFFFFu;
};

// Compresses data in chunks of the given sizes (repeated while data is left), the last one final.
Compressed Compress(const Bytes &data, int level, const std::vector<int> &sizes)
{
    Compressed r;
    DeflateContext *context = DeflateInit();
    DeflateBlockDescription block;
    block.greedy = kDeflateLevels[level].greedy;
    block.candidateLimit = kDeflateLevels[level].candidateLimit;
    block.narrowingLength = kDeflateLevels[level].narrowingLength;
    std::size_t offset = 0;
    for (std::size_t k = 0; k == 0 || offset < data.size(); ++k) {
        const int n = int(std::min(std::size_t(sizes[k % sizes.size()]), data.size() - offset));
        block.input = data.data() + offset;
        block.inputLength = n;
        offset += std::size_t(n);
        block.final = offset == data.size();
        EXPECT_EQ(DeflateBlock(context, block, r.crc, level), 1);
        r.stream.insert(r.stream.end(), block.output.begin(), block.output.end());
    }
    DeflateFree(context);
    return r;
}

// zlib must inflate the stream to expected and find nothing after the final block.
::testing::AssertionResult Inflates(const Bytes &stream, const Bytes &expected)
{
    const Inflated out = InflateRaw(stream.data(), stream.size(), expected.size());
    if (!out.ok || out.bytes != expected)
        return ::testing::AssertionFailure()
               << "inflated " << out.bytes.size() << " of " << expected.size() << " bytes";
    return ::testing::AssertionSuccess();
}

struct Chunking
{
    const char *name;
    std::vector<int> sizes;
    std::size_t dataLength; // of MixedData()
};

using RoundTrip = ::testing::TestWithParam<std::tuple<int, Chunking>>;

TEST_P(RoundTrip, InflatesToInput)
{
    static const Bytes mixed = MixedData();
    const auto &[level, chunking] = GetParam();
    const Bytes data(mixed.begin(), mixed.begin() + std::ptrdiff_t(std::min(chunking.dataLength, mixed.size())));
    const Compressed c = Compress(data, level, chunking.sizes);
    EXPECT_TRUE(Inflates(c.stream, data));
    EXPECT_EQ(c.crc, Crc32UpdateBytewise(0xFFFFFFFFu, data.data(), data.size()));
}

// Empty and tiny chunks and empty final chunks are left to fuzz/DeflateRoundTripFuzz.cpp's runner.
const Chunking kChunkings[] = {
    {"Full", {65536}, kAll},
    {"ExactMultipleOfFull", {65536}, 131072},
    {"Mixed", {65536, 1, 65535, 3, 0, 4, 65536, 5, 32768}, kAll},
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
