// Raw Deflate streams inflated by zlib, the independent inflater the
// compressor and archive tests check their output with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>
#include <zlib.h>

// A raw Deflate stream inflated by zlib; ok only when it ends exactly at the
// last byte and inflates to at most limit bytes.
struct Inflated
{
    std::vector<std::uint8_t> bytes;
    bool ok = false;
};

inline Inflated InflateRaw(const std::uint8_t *data, std::size_t size, std::size_t limit)
{
    Inflated r;
    r.bytes.resize(limit + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef *>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = r.bytes.data();
    z.avail_out = static_cast<uInt>(r.bytes.size());
    const int rc = inflate(&z, Z_FINISH);
    r.bytes.resize(z.total_out);
    r.ok = rc == Z_STREAM_END && z.avail_in == 0 && r.bytes.size() <= limit;
    inflateEnd(&z);
    return r;
}
