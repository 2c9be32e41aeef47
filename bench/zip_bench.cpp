// Writes files into a ZIP archive with cZipArchive and compares, on the same
// bytes in the same run, with zlib at level 6 (default strategy and Z_FIXED).
//
//   zip_bench [--level N] [--list PATHS.txt] OUT.zip FILE...
//
// Entry names are the paths as given. Files are read into memory first, so
// the figures measure compression, not the disk.
#include "cMemoryStream.h"
#include "cZipArchive.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

using clock_type = std::chrono::steady_clock;

double seconds(clock_type::time_point a, clock_type::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// Raw deflate of every file with zlib, as one stream per file.
std::size_t zlibSize(const std::vector<ByteArray> &files, int strategy, double &secs)
{
    std::size_t total = 0;
    std::vector<std::uint8_t> out;
    const auto t0 = clock_type::now();
    for (const ByteArray &f : files) {
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, -15, 8, strategy);
        out.resize(deflateBound(&z, f.size()));
        z.next_in = const_cast<Bytef *>(f.data());
        z.avail_in = static_cast<uInt>(f.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        total += z.total_out;
        deflateEnd(&z);
    }
    secs = seconds(t0, clock_type::now());
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    int level = 7;
    std::string out;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--level" && i + 1 < argc) {
            level = std::atoi(argv[++i]);
        } else if (a == "--list" && i + 1 < argc) {
            std::ifstream list(argv[++i]);
            for (std::string line; std::getline(list, line);)
                if (!line.empty())
                    paths.push_back(line);
        } else if (out.empty()) {
            out = a;
        } else {
            paths.push_back(a);
        }
    }
    if (out.empty() || paths.empty()) {
        std::fprintf(stderr, "usage: zip_bench [--level N] [--list PATHS.txt] OUT.zip FILE...\n");
        return 2;
    }

    std::vector<ByteArray> files;
    std::size_t bytes = 0;
    for (const std::string &p : paths) {
        std::ifstream f(p, std::ios::binary);
        files.emplace_back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        bytes += files.back().size();
    }
    const double mb = static_cast<double>(bytes) / 1e6;

    cZipArchive zip;
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto s = std::make_shared<cMemoryStream>();
        s->SetContents(files[i]);
        zip.AddFile(s, paths[i]);
    }
    auto target = std::make_shared<cMemoryStream>();
    const auto t0 = clock_type::now();
    const bool ok = zip.CompressArchive(target, {}, level, -2);
    const double ours = seconds(t0, clock_type::now());
    const ByteArray archive = target->Contents();
    std::ofstream(out, std::ios::binary)
        .write(reinterpret_cast<const char *>(archive.data()), static_cast<std::streamsize>(archive.size()));
    std::size_t compressed = 0;
    for (int i = 0; i < zip.FileCount(); ++i)
        compressed += static_cast<std::size_t>(zip.FileInfo(i)->CompressedSize);

    double zDefault = 0, zFixed = 0;
    const std::size_t sizeDefault = zlibSize(files, Z_DEFAULT_STRATEGY, zDefault);
    const std::size_t sizeFixed = zlibSize(files, Z_FIXED, zFixed);

    std::printf("%zu files, %.1f MB, level %d%s\n", files.size(), mb, level, ok ? "" : "  (archive failed!)");
    std::printf("cZipArchive:        %7.1f MB/s  %12zu bytes of entry data (archive %zu bytes)\n", mb / ours,
                compressed, archive.size());
    std::printf("zlib -6:            %7.1f MB/s  %12zu bytes\n", mb / zDefault, sizeDefault);
    std::printf("zlib -6 Z_FIXED:    %7.1f MB/s  %12zu bytes\n", mb / zFixed, sizeFixed);
    std::printf("throughput vs zlib -6: %.2fx   size vs zlib -6 Z_FIXED: %.3fx   size vs zlib -6: %.3fx\n",
                zDefault / ours, static_cast<double>(compressed) / static_cast<double>(sizeFixed),
                static_cast<double>(compressed) / static_cast<double>(sizeDefault));
    return ok ? 0 : 1;
}
