// CRC-32 of the archive format: reflected, polynomial 0xEDB88320.
#pragma once

#include <cstddef>
#include <cstdint>

// Advances the register over length bytes, four at a time. The caller presets the register to 0xFFFFFFFF and
// complements the result; neither happens here, so a long input can be fed in pieces.
std::uint32_t Crc32Update(std::uint32_t crc, const void *data, std::size_t length);

// Same result, one bit at a time and without tables: slow, kept to check the fast routine.
std::uint32_t Crc32UpdateBytewise(std::uint32_t crc, const void *data, std::size_t length);
