// Fuzz target: compresses its input at every level in chunkings drawn from its first bytes, and aborts unless
// zlib inflates the result back to the input with the right CRC.
#include "Crc32.h"
#include "DeflateCompressor.h"
#include "DeflateConstants.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void Fail(const char *what, int level, std::size_t size)
{
    std::fprintf(stderr, "DeflateRoundTripFuzz: %s (level %d, %zu input bytes)\n", what, level, size);
    std::abort();
}

// Chunk sizes from a generator seeded by the first 8 input bytes: sizes at and just below the largest chunk,
// around half of it, tiny ones and empty ones, and any size in between. The last element says whether an empty
// final chunk follows the data.
std::vector<int> ChunkPlan(const std::uint8_t *data, std::size_t size)
{
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 8); ++i)
        state = (state ^ data[i]) * 0x100000001B3ull;
    const auto next = [&state] {
        // splitmix64
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    };
    std::vector<int> plan;
    std::size_t planned = 0;
    while (planned < size) {
        const std::uint64_t r = next();
        const int small = int((r >> 8) % 8); // 0 to 7: an empty chunk in the middle now and then
        const int picks[] = {kDeflateChunk, kDeflateChunk - small, kDeflateWindow - 4 + small, small,
                             1 + int((r >> 8) % 300)};
        const int pick = int(r % 8);
        const int n = pick < 5 ? picks[pick] : int((r >> 8) % (kDeflateChunk + 1));
        plan.push_back(n);
        planned += std::size_t(n);
    }
    plan.push_back(int(next() % 2));
    return plan;
}

void RoundTrip(const std::uint8_t *data, std::size_t size, const std::vector<int> &plan, int level)
{
    DeflateContext *context = DeflateInit();
    if (context == nullptr)
        Fail("no context", level, size);
    DeflateBlockDescription block;
    block.greedy = kDeflateLevels[level].greedy;
    block.candidateLimit = kDeflateLevels[level].candidateLimit;
    block.narrowingLength = kDeflateLevels[level].narrowingLength;
    const bool emptyFinal = plan.back() != 0;
    Bytes stream;
    std::uint32_t crc = 0xFFFFFFFFu;
    std::size_t offset = 0;
    for (std::size_t k = 0; k + 1 < plan.size() || (size == 0 && k == 0); ++k) {
        const int n = int(std::min<std::size_t>(k + 1 < plan.size() ? std::size_t(plan[k]) : 0, size - offset));
        block.input = data + offset;
        block.inputLength = n;
        offset += std::size_t(n);
        block.final = offset == size && !emptyFinal;
        if (DeflateBlock(context, block, crc, level) != 1)
            Fail("DeflateBlock failed", level, size);
        stream.insert(stream.end(), block.output.begin(), block.output.end());
        if (block.final)
            break;
    }
    if (emptyFinal) {
        block.input = data + offset;
        block.inputLength = 0;
        block.final = 1;
        if (DeflateBlock(context, block, crc, level) != 1)
            Fail("DeflateBlock failed", level, size);
        stream.insert(stream.end(), block.output.begin(), block.output.end());
    }
    DeflateFree(context);
    if (offset != size)
        Fail("plan did not cover the input", level, size);
    if (crc != Crc32UpdateBytewise(0xFFFFFFFFu, data, size))
        Fail("CRC differs", level, size);

    Bytes out(size + 1);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        Fail("inflateInit2", level, size);
    z.next_in = stream.data();
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0 && z.total_out == size;
    inflateEnd(&z);
    if (!whole || (size > 0 && std::memcmp(out.data(), data, size) != 0))
        Fail("zlib does not inflate the stream to the input", level, size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<int> plan = ChunkPlan(data, size);
    for (int level = 1; level <= 9; ++level)
        RoundTrip(data, size, plan, level);
    return 0;
}

#ifdef VELMORA_FUZZ_RUNNER
#include "FuzzRunner.h"

#include <random>
#include <string>

// Without libFuzzer: a few fixed inputs, each also behind several 8-byte prefixes that pick other chunkings.
int main(int argc, char **argv)
{
    std::vector<Bytes> seeds(1);
    std::mt19937 rng(20240601);
    Bytes noise(200 * 1024);
    for (auto &b : noise)
        b = std::uint8_t(rng());
    seeds.push_back(noise);
    std::string text;
    for (int i = 0; text.size() < 150 * 1024; ++i)
        text += "Zeile " + std::to_string(i % 97) + ": Suchen und Ersetzen in allen Dateien des Ordners.\r\n";
    seeds.emplace_back(text.begin(), text.end());
    seeds.emplace_back(70000, 0);
    std::vector<Bytes> inputs;
    for (const Bytes &seed : seeds) {
        for (std::uint8_t key = 0; key < 4; ++key) {
            const std::size_t prefix = key == 0 ? 0 : 8;
            Bytes input(prefix + seed.size(), key);
            std::copy(seed.begin(), seed.end(), input.begin() + std::ptrdiff_t(prefix));
            inputs.push_back(std::move(input));
        }
    }
    return FuzzRunnerMain(argc, argv, inputs);
}
#endif
