// Tuning table and fixed limits of the raw Deflate block compressor.
#pragma once

// How hard one level searches: greedy or lazy matching, how many window positions with the same first four
// bytes one search collects (nearest first), and how far those are compared with each other before the nearest
// of the longest is extended to the chunk's end. Level 0 stores and never reaches the compressor.
struct DeflateLevel
{
    bool greedy;
    int candidateLimit;
    int narrowingLength;
};

inline constexpr DeflateLevel kDeflateLevels[10] = {
    {false, 0, 0},  {true, 2, 8},    {true, 6, 10},    {true, 12, 14},   {true, 24, 24},
    {false, 8, 30}, {false, 16, 65}, {false, 32, 130}, {false, 64, 200}, {false, 1000, 32768}};

// Largest chunk one DeflateBlock call takes.
inline constexpr int kDeflateChunk = 65536;

// History a match may reach back into: the largest distance the format can code.
inline constexpr int kDeflateWindow = 32768;

// Shortest match worth sending; also the bytes the hash covers.
inline constexpr int kDeflateMinMatch = 4;

// Longest length one match symbol codes; longer matches go out in pieces.
inline constexpr int kDeflateMaxMatch = 258;

// Upper bound for a level's candidate limit.
inline constexpr int kDeflateMaxCandidates = 1000;
