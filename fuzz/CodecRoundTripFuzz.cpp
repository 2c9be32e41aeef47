// Fuzz target: any bytes decode as a text file would (with both vector widths, which must agree) in the encoding
// their mark or their form shows, and writing the text back in the encoding found gives the same bytes wherever the
// encoding can hold them: 8-bit text, well-formed UTF-8 with or without its mark, UTF-16 with its mark (an odd last
// byte is dropped on reading).
#include "Utf8Kernel.h"
#include "cFileResder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char *what, TextEncoding encoding, std::size_t size)
{
    std::fprintf(stderr, "CodecRoundTripFuzz: %s (encoding %d, %zu input bytes)\n", what, int(encoding), size);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Not copied, so a read past the end is one past the fuzzer's buffer.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    TextEncoding narrowEncoding{}, encoding{};
    Utf8Kernel::UseWideVectors(false);
    const QString narrow = cFileResder::DecodeBytes(bytes, narrowEncoding);
    Utf8Kernel::UseWideVectors(true);
    const QString text = cFileResder::DecodeBytes(bytes, encoding);
    if (text != narrow || encoding != narrowEncoding)
        Fail("the vector widths decode differently", encoding, size);
    // A mark decides; without one, well-formed UTF-8 (7-bit text included) is UTF-8 and anything else 8-bit text.
    const TextEncoding detected = bytes.startsWith("\xFF\xFE")       ? TextEncoding::Utf16LE
                                  : bytes.startsWith("\xFE\xFF")     ? TextEncoding::Utf16BE
                                  : bytes.startsWith("\xEF\xBB\xBF") ? TextEncoding::Utf8Bom
                                  : size > 0 && Utf8Kernel::IsWellFormed(bytes.constData(), size) ? TextEncoding::Utf8
                                                                                                  : TextEncoding::Ansi;
    if (encoding != detected)
        Fail("the encoding found is not the one the bytes show", encoding, size);
    if (!cFileResder::CanEncodeLosslessly(text, encoding))
        Fail("decoded text cannot be written back in its own encoding", encoding, size);

    const QByteArray written = cFileResder::EncodeText(text, encoding);
    bool exact = true;
    QByteArray expected = bytes;
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE)
        expected.truncate(size & ~std::size_t(1));
    else if (encoding == TextEncoding::Utf8Bom)
        exact = Utf8Kernel::IsWellFormed(bytes.constData() + 3, size - 3);
    if (exact && written != expected)
        Fail("writing back does not give the bytes read", encoding, size);

    // Even where the first write changed bytes, reading what was written gives the same text and encoding.
    TextEncoding again{};
    if (cFileResder::DecodeBytes(written, again) != text || again != encoding)
        Fail("the written bytes read back differently", encoding, size);
    return 0;
}

#ifdef VELMORA_FUZZ_RUNNER
#include "FuzzRunner.h"

#include <iterator>
#include <random>
#include <string>

// Without libFuzzer: marks, sequences at every edge of well-formedness, and random mixes of the bytes that matter,
// in lengths below and above the 16- and 32-byte vector blocks.
int main(int argc, char **argv)
{
    using namespace std::string_literals; // the literals hold NUL bytes
    const std::string fixed[] = {
        ""s,
        "Suchwort"s,
        "Gr\xC3\xB6\xC3\x9F"
        "e \xE2\x82\xAC \xF0\x9F\x98\x80"s,
        "Gr\xF6\xDF"
        "e"s,
        "\xEF\xBB\xBF"s,
        "\xEF\xBB\xBFok\xC3"s,
        "\xEF\xBB"s,
        "\xFF\xFE"s,
        "\xFF\xFEh\0i\0"s,
        "\xFF\xFEh\0i"s,
        "\xFE\xFF\0h\xD8\0"s,
        "\xFF\xFE\0\xDC\0\xD8"s,
        "\xC0\xAF"s,
        "\xED\xA0\x80"s,
        "\xF4\x90\x80\x80"s,
        "\xF4\x8F\xBF\xBF"s,
        "\xE0\x9F\xBF"s,
        "\xE0\xA0"s,
        std::string(15, 'a') + "\xC3\xA4" + std::string(31, 'b') + "\xE2\x82\xAC",
        std::string(40, 'x') + "\x80",
    };
    std::vector<std::vector<std::uint8_t>> seeds;
    for (const std::string &s : fixed)
        seeds.emplace_back(s.begin(), s.end());
    const std::string marks[] = {"", "", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    const std::uint8_t pool[] = {'a',  '\n', 0x00, 0x7F, 0x80, 0xBF, 0xC2, 0xC3, 0xDF, 0xE0, 0xED,
                                 0xEF, 0xBB, 0xF0, 0xF4, 0x90, 0x8F, 0xF5, 0xFE, 0xFF, 0xA4};
    std::mt19937 rng(20240611);
    for (int i = 0; i < 400; ++i) {
        const std::string &mark = marks[rng() % std::size(marks)];
        std::vector<std::uint8_t> input(mark.begin(), mark.end());
        for (unsigned n = rng() % 80; n > 0; --n)
            input.push_back(rng() % 3 == 0 ? std::uint8_t(rng()) : pool[rng() % sizeof pool]);
        seeds.push_back(std::move(input));
    }
    return FuzzRunnerMain(argc, argv, seeds);
}
#endif
