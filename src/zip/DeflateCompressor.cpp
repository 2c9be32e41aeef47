// Raw Deflate in fixed-Huffman blocks: hash-chain match finder over a 32 KiB history, greedy or lazy matching.
#include "DeflateCompressor.h"

#include "Crc32.h"
#include "DeflateConstants.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace {

constexpr int kWindow = kDeflateWindow;
constexpr std::uint32_t kSlotMask = kWindow - 1;
// Marks an empty hash head.
constexpr std::uint32_t kNoSlot = kWindow;
// Chain links per entry (16 bits each in one 64-bit word): the walk issues one dependent load per 4 steps.
constexpr int kLinksPerEntry = 4;
// Multiplied by a slot, gives an entry whose four links all point to that slot.
constexpr std::uint64_t kEveryLink = 0x0001000100010001ull;
constexpr int kHashCount = 65536;
// Word-wise compares and the bit writer's 8-byte stores may run this far past the last byte in use.
constexpr int kSlack = 16;
// One block: at most 9 bits per input byte (a literal; a match piece costs less per byte), plus the pending bits,
// the header, the end-of-block code and the padding.
constexpr int kOutputCapacity = kDeflateChunk * 9 / 8 + 4 + kSlack;

static_assert((kWindow & (kWindow - 1)) == 0 && kWindow <= 32768, "window slots must fit 15 bits");
static_assert(kNoSlot <= 0xFFFF && kLinksPerEntry * 16 == 64, "links are 16 bits, four to a word");

} // namespace

// Layout: the history and the current chunk lie in one buffer, history first, so that a match is compared
// straight across the chunk border and an overlapping match needs no special case; after each call the last
// 32 KiB slide to the front. Hash heads and chains hold window slots (stream position modulo 32 KiB).
//
// Chain invariant: the entry of slot s holds, nearest first, the slots of the 4 positions with the same hash that
// were entered before s's position, as they were when s was entered; where there are fewer, the remaining links
// repeat the last slot (s itself for the first position of a hash). Those positions are older than s's, so later
// entries never change them, and the entry stays exact as long as its positions are in the window. A walk that
// follows the links and stops as soon as the distance does not grow therefore visits every position in the window
// with the same hash, nearest first, and ends at a repeated link or where the chain leaves the window.
struct DeflateContext
{
    // bytes[0, kWindow) is the input just before the current chunk; the chunk follows from kWindow on.
    std::uint8_t bytes[kWindow + kDeflateChunk + kSlack];
    // Per hash: the slot of the latest entered position with that hash, kNoSlot for none.
    std::uint16_t heads[kHashCount];
    // Per slot: four links (see the chain invariant above), the nearest in the low 16 bits.
    std::uint64_t chains[kWindow];
    // Stream position of the current chunk's first byte, modulo 2^32.
    std::uint32_t streamPosition;
    // Last positions of the input so far that are not entered yet, because fewer than 4 bytes follow them: 0 to 3.
    std::int32_t carry;
    // Bits produced but not yet part of a whole output byte, and their count; below 8 between calls.
    std::uint64_t bitBuffer;
    std::uint32_t bitCount;
    // The block being written; copied to the caller's vector at the end, so that vector is never zero-filled.
    std::uint8_t output[kOutputCapacity];
};

namespace {

// ---- Fixed Huffman code tables (RFC 1951, 3.2.6), built by the compiler ------------------------------------

constexpr std::uint32_t Reversed(std::uint32_t code, int length)
{
    std::uint32_t r = 0;
    for (int i = 0; i < length; ++i)
        r |= ((code >> i) & 1u) << (length - 1 - i);
    return r;
}

// Fixed code of a literal/length symbol, bit-reversed so that it goes out least significant bit first.
constexpr std::uint32_t SymbolCode(int symbol)
{
    if (symbol < 144)
        return Reversed(0x30 + symbol, 8);
    if (symbol < 256)
        return Reversed(0x190 + symbol - 144, 9);
    if (symbol < 280)
        return Reversed(symbol - 256, 7);
    return Reversed(0xC0 + symbol - 280, 8);
}

constexpr int SymbolBits(int symbol)
{
    return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
}

// Codes ready for the bit writer, indexed by match length: the bits, first bit lowest, in the low 24 bits and
// their count in the top 8.
using CodeTable = std::array<std::uint32_t, 259>;

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 30> kDistanceBase = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                               33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};

constexpr int LengthExtraBits(int index)
{
    return index < 8 || index == 28 ? 0 : (index - 4) / 4;
}

constexpr int DistanceExtraBits(int code)
{
    return code < 4 ? 0 : code / 2 - 1;
}

// Literal bytes 0..255 and the end-of-block symbol 256: code in the low 24 bits, bit count in the top 8.
constexpr std::array<std::uint32_t, 257> MakeLiteralTable()
{
    std::array<std::uint32_t, 257> t{};
    for (int s = 0; s <= 256; ++s)
        t[s] = SymbolCode(s) | std::uint32_t(SymbolBits(s)) << 24;
    return t;
}

// Match lengths 3..258: length symbol and its extra bits in one code, bit count in the top 8.
constexpr CodeTable MakeLengthTable()
{
    CodeTable t{};
    for (int index = 0; index < 29; ++index) {
        const int last = index < 27 ? kLengthBase[index + 1] - 1 : index == 27 ? 257 : 258;
        const int symbol = 257 + index;
        for (int length = kLengthBase[index]; length <= last; ++length) {
            const std::uint32_t extra = std::uint32_t(length - kLengthBase[index]);
            t[length] = (SymbolCode(symbol) | extra << SymbolBits(symbol)) |
                        std::uint32_t(SymbolBits(symbol) + LengthExtraBits(index)) << 24;
        }
    }
    return t;
}

// Distance code of distance - 1: directly below 256, else by (distance - 1) >> 7 from entry 256 on; the codes
// from 16 up cover whole multiples of 128, so the shifted index is exact.
constexpr std::array<std::uint8_t, 512> MakeDistanceIndex()
{
    std::array<std::uint8_t, 512> t{};
    for (int code = 0; code < 30; ++code) {
        const int first = kDistanceBase[code] - 1;
        const int count = 1 << DistanceExtraBits(code);
        for (int d = first; d < first + count; ++d) {
            if (d < 256)
                t[d] = std::uint8_t(code);
            else
                t[256 + (d >> 7)] = std::uint8_t(code);
        }
    }
    return t;
}

// Distance codes 0..29: the 5-bit code, bit count with the extra bits in the top 8.
constexpr std::array<std::uint32_t, 30> MakeDistanceTable()
{
    std::array<std::uint32_t, 30> t{};
    for (int code = 0; code < 30; ++code)
        t[code] = Reversed(std::uint32_t(code), 5) | std::uint32_t(5 + DistanceExtraBits(code)) << 24;
    return t;
}

constexpr std::array<std::uint32_t, 257> kLiteralCodes = MakeLiteralTable();
constexpr CodeTable kLengthCodes = MakeLengthTable();
constexpr std::array<std::uint8_t, 512> kDistanceIndex = MakeDistanceIndex();
constexpr std::array<std::uint32_t, 30> kDistanceCodes = MakeDistanceTable();

// ---- Byte access ---------------------------------------------------------------------------------------------

inline std::uint32_t Load32(const std::uint8_t *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint64_t Load64(const std::uint8_t *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Stores v so that its least significant byte comes first in memory.
inline void StoreLittle64(std::uint8_t *p, std::uint64_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof v);
    } else {
        for (int i = 0; i < 8; ++i)
            p[i] = std::uint8_t(v >> (8 * i));
    }
}

// Index of the first byte in memory order where the two words that gave x = a ^ b differ; x is nonzero.
inline int FirstDifference(std::uint64_t x)
{
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(x) >> 3;
    else
        return std::countl_zero(x) >> 3;
}

// The hash of a position: its 4 bytes as a machine word (the same word for equal bytes, which is all the chains
// need), spread by one multiplication; the top 16 bits of the 32-bit product index the heads.
inline std::uint32_t Hash(std::uint32_t firstFour)
{
    return (firstFour * 0x1E35A7BDu) >> 16;
}

// Number of equal bytes at a and b, counted from `from` (the bytes before it are known equal) up to limit,
// compared eight at a time. Reads up to 7 bytes past b + limit.
inline int CommonLength(const std::uint8_t *a, const std::uint8_t *b, int from, int limit)
{
    for (int n = from; n < limit; n += 8) {
        const std::uint64_t x = Load64(a + n) ^ Load64(b + n);
        if (x != 0)
            return std::min(n + FirstDifference(x), limit);
    }
    return limit;
}

// ---- Hash chains -----------------------------------------------------------------------------------------------

// Enters buffer position i (4 bytes must follow it in the buffer) at the head of its hash chain. base maps a
// buffer position to its stream position: slot = (base + i) mod 32 KiB.
inline void Enter(DeflateContext &c, std::uint32_t hash, int i, std::uint32_t base)
{
    const std::uint32_t slot = (base + std::uint32_t(i)) & kSlotMask;
    const std::uint32_t head = c.heads[hash];
    c.chains[slot] = head == kNoSlot ? slot * kEveryLink : c.chains[head] << 16 | head;
    c.heads[hash] = std::uint16_t(slot);
}

inline void EnterRange(DeflateContext &c, int from, int to, std::uint32_t base)
{
    for (int i = from; i < to; ++i)
        Enter(c, Hash(Load32(c.bytes + i)), i, base);
}

// Chooses the match for position pos among the earlier positions of the window whose first 4 bytes equal
// `first`. They are visited nearest first along the chain; the first `limit` of them are the candidates. Each
// candidate's common length is taken up to cap; the nearest of those with the longest such length is chosen and,
// if it reached cap, extended up to end. The result is the chosen length, or 0 when there is no candidate or
// when the chosen one's length up to cap does not exceed floor (the lazy matcher passes what it must beat).
// Requires 4 <= cap <= end - pos, floor < cap and every position before pos entered.
//
// Stopping at the first candidate that reaches cap, and looking only at candidates that match at the byte where
// the best so far ends, give the same choice as comparing all candidates byte by byte.
inline int FindMatch(const DeflateContext &c, std::uint32_t hash, std::uint32_t first, int pos, int end,
                     std::uint32_t slotHere, int limit, int cap, int floor, int &distance)
{
    const std::uint8_t *here = c.bytes + pos;
    int best = floor;
    int bestDistance = 0;
    int found = 0;
    int previous = 0;
    // Looks at one chain position; false ends the search.
    const auto visit = [&](std::uint32_t slot) {
        // Slot equal to slotHere is the position exactly 32 KiB back: pos itself is not entered yet.
        const int d = int(((slotHere - slot - 1) & kSlotMask) + 1);
        // The distance stops growing at a repeated link, or where the chain has left the window and runs into
        // slots that newer positions took over; a position reached after that is older than the window's last
        // one with this hash, so it cannot be a candidate either.
        if (d <= previous)
            return false;
        previous = d;
        const std::uint8_t *there = here - d;
        if (Load32(there) != first)
            return true; // same hash, other bytes: not a candidate
        if (there[best] == here[best]) {
            const int length = CommonLength(there, here, kDeflateMinMatch, cap);
            if (length > best) {
                best = length;
                bestDistance = d;
                if (best == cap)
                    return false;
            }
        }
        return ++found != limit;
    };
    std::uint32_t slot = c.heads[hash];
    if (slot != kNoSlot) {
        for (;;) {
            const std::uint64_t links = c.chains[slot];
            if (!visit(slot) || !visit(std::uint32_t(links & 0xFFFFu)) ||
                !visit(std::uint32_t((links >> 16) & 0xFFFFu)) || !visit(std::uint32_t((links >> 32) & 0xFFFFu)))
                break;
            slot = std::uint32_t(links >> 48);
        }
    }
    if (bestDistance == 0)
        return 0;
    distance = bestDistance;
    if (best == cap)
        best = CommonLength(here - bestDistance, here, cap, end - pos);
    return best;
}

// ---- Bit writer ---------------------------------------------------------------------------------------------------
//
// Invariant: acc holds `bits` pending bits (fewer than 8 between puts), the first one in bit 0, and nothing above
// them; every whole byte has been stored at out[-1] and before. A put adds at most 31 bits, then stores all 8
// bytes of acc at out (the output keeps kSlack spare bytes for this) and moves out past the whole bytes only, so
// the pending bits are written again by the next store.

inline void Put(std::uint8_t *&out, std::uint64_t &acc, std::uint32_t &bits, std::uint32_t code, std::uint32_t count)
{
    acc |= std::uint64_t(code) << bits;
    bits += count;
    StoreLittle64(out, acc);
    out += bits >> 3;
    acc >>= bits & ~7u;
    bits &= 7u;
}

// A literal byte, or 256 for the end of the block.
inline void PutSymbol(std::uint8_t *&out, std::uint64_t &acc, std::uint32_t &bits, int symbol)
{
    const std::uint32_t code = kLiteralCodes[symbol];
    Put(out, acc, bits, code & 0xFFFFFFu, code >> 24);
}

// Sends a match of any length from 4 up. Longer than 258 goes out in pieces at the same distance: 258 while
// more than 260 remain, then, for 259 or 260, the length less 3, so that no piece is shorter than 3.
inline void PutMatch(std::uint8_t *&out, std::uint64_t &acc, std::uint32_t &bits, int length, int distance)
{
    const std::uint32_t d = std::uint32_t(distance - 1);
    const int code = kDistanceIndex[d < 256 ? d : 256 + (d >> 7)];
    const std::uint32_t extra = d - std::uint32_t(kDistanceBase[code] - 1);
    const std::uint32_t distanceCode = (kDistanceCodes[code] & 0xFFFFFFu) | extra << 5;
    const std::uint32_t distanceBits = kDistanceCodes[code] >> 24;
    for (;;) {
        const int piece = length > 260 ? kDeflateMaxMatch : length > kDeflateMaxMatch ? length - 3 : length;
        const std::uint32_t lengthCode = kLengthCodes[piece];
        const std::uint32_t lengthBits = lengthCode >> 24;
        Put(out, acc, bits, (lengthCode & 0xFFFFFFu) | distanceCode << lengthBits, lengthBits + distanceBits);
        length -= piece;
        if (length == 0)
            break;
    }
}

/*
 * Greedy matching (levels 1 to 4).
 * At each position with 4 bytes left in the chunk: search; a match is sent at once and the scan goes on at its
 * end, otherwise the byte goes out as a literal. The last 3 bytes of the chunk are always literals unless a match
 * covers them. Every position below `stop` is entered in the chains as the scan passes it, inside matches too.
 */
void MatchGreedy(DeflateContext &c, int end, std::uint32_t base, int limit, int narrowing, std::uint8_t *&outRef,
                 std::uint64_t &accRef, std::uint32_t &bitsRef)
{
    std::uint8_t *out = outRef;
    std::uint64_t acc = accRef;
    std::uint32_t bits = bitsRef;
    const std::uint8_t *bytes = c.bytes;
    const int stop = end - (kDeflateMinMatch - 1);
    int pos = kWindow;
    while (pos < stop) {
        const std::uint32_t first = Load32(bytes + pos);
        const std::uint32_t hash = Hash(first);
        const std::uint32_t slot = (base + std::uint32_t(pos)) & kSlotMask;
        int distance = 0;
        const int length = FindMatch(c, hash, first, pos, end, slot, limit, std::min(narrowing, end - pos),
                                     kDeflateMinMatch - 1, distance);
        Enter(c, hash, pos, base);
        if (length == 0) {
            PutSymbol(out, acc, bits, bytes[pos]);
            ++pos;
            continue;
        }
        PutMatch(out, acc, bits, length, distance);
        EnterRange(c, pos + 1, std::min(pos + length, stop), base);
        pos += length;
    }
    for (; pos < end; ++pos)
        PutSymbol(out, acc, bits, bytes[pos]);
    outRef = out;
    accRef = acc;
    bitsRef = bits;
}

/*
 * Lazy matching (levels 5 to 9).
 * A match found at a position is held while the next position is searched as well. If the new match is longer
 * by 2 or more, the held position's byte goes out as a literal and the new match is held instead (this may
 * repeat); otherwise the held match goes out and the scan goes on at its end. A position without a match sends
 * the held match if there is one, else its own byte as a literal; so do positions with fewer than 4 bytes left in
 * the chunk, which are not searched. Every position below `stop` is entered in the chains as the scan passes it,
 * inside matches too.
 *
 * While a match is held, the search only has to tell whether something beats it by 2: when fewer bytes are left
 * than that, it is skipped, and otherwise candidates that cannot get there are not measured.
 */
void MatchLazy(DeflateContext &c, int end, std::uint32_t base, int limit, int narrowing, std::uint8_t *&outRef,
               std::uint64_t &accRef, std::uint32_t &bitsRef)
{
    std::uint8_t *out = outRef;
    std::uint64_t acc = accRef;
    std::uint32_t bits = bitsRef;
    const std::uint8_t *bytes = c.bytes;
    const int stop = end - (kDeflateMinMatch - 1);
    int pos = kWindow;
    int heldLength = 0; // a held match starts at pos - 1
    int heldDistance = 0;
    while (pos < stop) {
        const std::uint32_t first = Load32(bytes + pos);
        const std::uint32_t hash = Hash(first);
        const std::uint32_t slot = (base + std::uint32_t(pos)) & kSlotMask;
        const int left = end - pos;
        const int cap = std::min(narrowing, left);
        int distance = 0;
        if (heldLength == 0) {
            const int length = FindMatch(c, hash, first, pos, end, slot, limit, cap, kDeflateMinMatch - 1, distance);
            Enter(c, hash, pos, base);
            if (length == 0) {
                PutSymbol(out, acc, bits, bytes[pos]);
            } else {
                heldLength = length;
                heldDistance = distance;
            }
            ++pos;
            continue;
        }
        int length = 0;
        if (heldLength + 2 <= left)
            length = FindMatch(c, hash, first, pos, end, slot, limit, cap, std::min(heldLength + 1, cap - 1), distance);
        Enter(c, hash, pos, base);
        if (length >= heldLength + 2) {
            PutSymbol(out, acc, bits, bytes[pos - 1]);
            heldLength = length;
            heldDistance = distance;
            ++pos;
            continue;
        }
        PutMatch(out, acc, bits, heldLength, heldDistance);
        const int next = pos - 1 + heldLength;
        EnterRange(c, pos + 1, std::min(next, stop), base);
        pos = next;
        heldLength = 0;
    }
    if (heldLength != 0) {
        PutMatch(out, acc, bits, heldLength, heldDistance);
        pos += heldLength - 1;
    }
    for (; pos < end; ++pos)
        PutSymbol(out, acc, bits, bytes[pos]);
    outRef = out;
    accRef = acc;
    bitsRef = bits;
}

} // namespace

DeflateContext *DeflateInit()
{
    // Left uninitialised on purpose, for entries are often small: the buffer is read only where it was written,
    // and chains only at slots that were entered.
    auto *c = new (std::nothrow) DeflateContext;
    if (c == nullptr)
        return nullptr;
    std::fill(std::begin(c->heads), std::end(c->heads), std::uint16_t(kNoSlot));
    c->streamPosition = 0;
    c->carry = 0;
    c->bitBuffer = 0;
    c->bitCount = 0;
    return c;
}

void DeflateFree(DeflateContext *context)
{
    delete context;
}

int DeflateBlock(DeflateContext *context, DeflateBlockDescription &block, std::uint32_t &crc, int level)
{
    (void)level; // the description carries the level's settings
    block.output.clear();
    const int length = block.inputLength;
    if (context == nullptr || length < 0 || length > kDeflateChunk || (length > 0 && block.input == nullptr))
        return 0;
    DeflateContext &c = *context;
    if (length > 0) {
        crc = Crc32Update(crc, block.input, std::size_t(length));
        std::memcpy(c.bytes + kWindow, block.input, std::size_t(length));
    }
    const int end = kWindow + length;
    // Word-wise compares read a little past the chunk; their results do not depend on these bytes, but they must
    // have been written.
    std::memset(c.bytes + end, 0, kSlack);
    const std::uint32_t base = c.streamPosition - std::uint32_t(kWindow);

    // The carried positions have their 4 bytes now, unless the chunk is shorter than that too.
    EnterRange(c, kWindow - c.carry, std::min(kWindow, end - (kDeflateMinMatch - 1)), base);

    std::uint8_t *out = c.output;
    std::uint64_t acc = c.bitBuffer;
    std::uint32_t bits = c.bitCount;

    Put(out, acc, bits, block.final ? 3u : 2u, 3); // BFINAL, then BTYPE 01: fixed Huffman codes
    const int limit = std::clamp(block.candidateLimit, 0, kDeflateMaxCandidates);
    const int narrowing = std::clamp(block.narrowingLength, kDeflateMinMatch, kDeflateChunk);
    if (limit == 0) {
        // Literals only; the positions still enter the chains, so later calls with a search see the window.
        EnterRange(c, kWindow, end - (kDeflateMinMatch - 1), base);
        for (int pos = kWindow; pos < end; ++pos)
            PutSymbol(out, acc, bits, c.bytes[pos]);
    } else if (block.greedy) {
        MatchGreedy(c, end, base, limit, narrowing, out, acc, bits);
    } else {
        MatchLazy(c, end, base, limit, narrowing, out, acc, bits);
    }
    PutSymbol(out, acc, bits, 256);
    if (block.final && bits > 0) {
        *out++ = std::uint8_t(acc);
        acc = 0;
        bits = 0;
    }
    block.output.assign(c.output, out);
    c.bitBuffer = acc;
    c.bitCount = bits;

    // The last 32 KiB become the history of the next chunk.
    std::memmove(c.bytes, c.bytes + length, kWindow);
    c.streamPosition += std::uint32_t(length);
    c.carry = std::min(kDeflateMinMatch - 1, c.carry + length);
    return 1;
}
