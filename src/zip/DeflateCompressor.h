// Raw Deflate compression of one entry, fed in chunks: one fixed-Huffman block per chunk.
#pragma once

#include <cstdint>
#include <vector>

// The state that connects the chunks of one entry: the last 32 KiB of input, the hash chains over it, input
// positions not yet hashed and bits not yet forming a whole byte. One per entry; no history crosses entries.
struct DeflateContext;

// One DeflateBlock call. The caller fills the input and the level's settings (see kDeflateLevels); the call
// fills output.
struct DeflateBlockDescription
{
    const std::uint8_t *input = nullptr;
    std::int32_t inputLength = 0;     // 0 to kDeflateChunk bytes
    std::vector<std::uint8_t> output; // filled by the call (cleared first; the caller may reuse it)
    std::int32_t final = 0;           // nonzero for the entry's last chunk
    std::int32_t greedy = 0;          // nonzero for greedy matching, zero for lazy matching
    std::int32_t candidateLimit = 0;  // 0 sends literals only
    std::int32_t narrowingLength = 0;
};

// A new context for one entry, or nullptr when its memory cannot be had.
DeflateContext *DeflateInit();

// Advances crc over the chunk first (as Crc32Update does), then compresses the chunk into exactly one
// fixed-Huffman block. The output holds every whole byte produced so far; bits short of a byte wait in the
// context for the next call, and the final call pads them to a byte boundary, so the outputs of all calls for an
// entry, concatenated, form one raw Deflate stream that ends with the final block. Matches reach back into the
// earlier chunks of the entry. The level argument is not used: the description carries the level's settings.
// Returns 1, or 0 (with an empty output) for a missing context, a missing input or a length outside 0 to
// kDeflateChunk.
int DeflateBlock(DeflateContext *context, DeflateBlockDescription &block, std::uint32_t &crc, int level);

// Releases a context from DeflateInit; nullptr is allowed.
void DeflateFree(DeflateContext *context);
