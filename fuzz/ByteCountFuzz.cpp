// Fuzz target: a search text counted straight in the bytes of a file must give the finds of its decoded text. The
// first byte picks the comparison and the encoding; the search text runs to the first NUL after it (bytes below 0x80
// are themselves, the others pick characters whose case forms are special or take several bytes); the rest is the
// file's bytes, as they come.
#include "SearchPattern.h"
#include "TextDecoder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

QString FromFuzzBytes(const std::uint8_t *data, std::size_t size)
{
    static const char16_t special[] = {u'k', 0x212A, u'i', 0x130, u'ä', u'Ä', u'ÿ', 0x178, 0x17F, 0xFFFD, u'€', u'ß'};
    QString s;
    for (std::size_t i = 0; i < size && i < 20; ++i)
        s += QChar(data[i] < 0x80 ? char16_t(data[i]) : special[(data[i] - 0x80) % std::size(special)]);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto compare = (data[0] & 1) != 0 ? CompareMode::Text : CompareMode::Binary;
    static const TextEncoding encodings[] = {TextEncoding::Ansi, TextEncoding::Utf8, TextEncoding::Utf8Bom};
    const TextEncoding encoding = encodings[(data[0] >> 1) % std::size(encodings)];
    std::size_t split = 1;
    while (split < size && data[split] != 0)
        ++split;
    const SearchPattern pattern(FromFuzzBytes(data + 1, split - 1), compare);
    const ByteSearch *bytes = pattern.InBytes(encoding);
    if (!bytes)
        return 0;
    const char *text = reinterpret_cast<const char *>(data) + split + (split < size ? 1 : 0);
    const auto length =
        static_cast<qsizetype>(size - static_cast<std::size_t>(text - reinterpret_cast<const char *>(data)));
    QString decoded;
    if (TextDecoder::Decode(encoding, text, length, true, decoded) < 0)
        return 0; // not UTF-8: such a file is read as ANSI
    qsizetype next = -1;
    const qsizetype want = pattern.CountIn(decoded, 0);
    const qsizetype got = bytes->CountIn(text, length, 0, length - 1, next);
    if (got != want) {
        std::fprintf(stderr, "ByteCountFuzz: %lld finds in the bytes, %lld in the text\n", static_cast<long long>(got),
                     static_cast<long long>(want));
        std::abort();
    }
    return 0;
}

#ifdef VELMORA_FUZZ_RUNNER
#include "FuzzRunner.h"

#include <random>

// Without libFuzzer: random search texts and texts over the same few bytes, so that finds, near misses and broken
// UTF-8 sequences are common.
int main(int argc, char **argv)
{
    const std::uint8_t alphabet[] = {'k',  'K',  'a',  'A',  0xC3, 0xA4, 0x84, 0xE2, 0x84, 0xAA,
                                     0xC4, 0xB0, 0xEF, 0xBF, 0xBD, 0xFF, 0xC5, 0xBF, 's',  ' '};
    std::mt19937 rng(1);
    std::vector<std::vector<std::uint8_t>> seeds;
    for (int i = 0; i < 3000; ++i) {
        std::vector<std::uint8_t> input{static_cast<std::uint8_t>(rng())};
        for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n)
            input.push_back(static_cast<std::uint8_t>(rng() % 2 ? "kKaA s"[rng() % 6] : 0x80 + rng() % 12));
        input.push_back(0);
        for (int n = static_cast<int>(rng() % 120); n > 0; --n)
            input.push_back(alphabet[rng() % std::size(alphabet)]);
        seeds.push_back(std::move(input));
    }
    return FuzzRunnerMain(argc, argv, seeds);
}
#endif
