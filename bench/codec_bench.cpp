// Reading and counting over a tree of text files, against merely reading them.
//
//   codec_bench DIR [WORD] [--rounds N]
//
// Prints MiB/s of file bytes for plain reading and for FileRead plus a
// case-insensitive count of WORD, single-threaded, best of N rounds.
#include "TextSearch.h"
#include "cFileResder.h"

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: codec_bench DIR [WORD] [--rounds N]\n");
        return 2;
    }
    std::string word = "Suchwort";
    int rounds = 3;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            word = a;
    }
    const std::vector<std::string> textExt = {".txt", ".htm", ".html", ".php", ".css", ".js",  ".ini", ".csv",
                                              ".log", ".inc", ".bat",  ".bas", ".cls", ".frm", ".asc"};
    std::vector<QString> files;
    std::uintmax_t bytes = 0;
    for (const auto &e : fs::recursive_directory_iterator(argv[1])) {
        if (!e.is_regular_file())
            continue;
        const std::string ext = e.path().extension().string();
        if (std::find(textExt.begin(), textExt.end(), ext) == textExt.end())
            continue;
        files.push_back(QString::fromStdString(e.path().string()));
        bytes += e.file_size();
    }
    std::sort(files.begin(), files.end());
    const double mib = static_cast<double>(bytes) / (1024.0 * 1024.0);

    using clock = std::chrono::steady_clock;
    auto best = [&](auto &&body) {
        double bestSeconds = 1e100;
        for (int r = 0; r < rounds; ++r) {
            const auto t0 = clock::now();
            body();
            bestSeconds = std::min(bestSeconds, std::chrono::duration<double>(clock::now() - t0).count());
        }
        return bestSeconds;
    };

    std::uintmax_t readBytes = 0;
    const double readSeconds = best([&] {
        readBytes = 0;
        QByteArray b;
        for (const QString &f : files) {
            cFileResder::ReadAllBytes(f, b);
            readBytes += static_cast<std::uintmax_t>(b.size());
        }
    });

    long long total = 0;
    const QString find = QString::fromStdString(word);
    const double countSeconds = best([&] {
        total = 0;
        cFileResder codec;
        for (const QString &f : files) {
            const QString text = codec.FileRead(f);
            total += TextSearch::CountOccurrences(text, find, 1, CompareMode::Text);
        }
    });

    const double decodeSeconds = best([&] {
        cFileResder codec;
        for (const QString &f : files)
            total += codec.FileRead(f).size();
    });
    std::vector<QString> texts;
    {
        cFileResder codec;
        for (const QString &f : files)
            texts.push_back(codec.FileRead(f));
    }
    const double scanSeconds = best([&] {
        total = 0;
        for (const QString &t : texts)
            total += TextSearch::CountOccurrences(t, find, 1, CompareMode::Text);
    });

    std::printf("files %zu, %.1f MiB, word \"%s\", %lld finds (text mode)\n", files.size(), mib, word.c_str(), total);
    std::printf("plain read:             %7.3f s  %8.1f MiB/s\n", readSeconds, mib / readSeconds);
    std::printf("FileRead + Count:       %7.3f s  %8.1f MiB/s\n", countSeconds, mib / countSeconds);
    std::printf("  of which FileRead:    %7.3f s  %8.1f MiB/s\n", decodeSeconds, mib / decodeSeconds);
    std::printf("  of which Count:       %7.3f s  %8.1f MiB/s\n", scanSeconds, mib / scanSeconds);
    std::printf("ratio to plain reading: %.2fx\n", countSeconds / readSeconds);
    return readBytes == bytes ? 0 : 1;
}
