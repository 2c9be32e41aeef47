// main() of a fuzz target built without libFuzzer: runs the target's fixed inputs, or with "--write-seeds DIR"
// writes them to DIR as the start corpus of a libFuzzer run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

inline int FuzzRunnerMain(int argc, char **argv, const std::vector<std::vector<std::uint8_t>> &seeds)
{
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            const std::string path = std::string(argv[2]) + "/seed-" + std::to_string(i);
            std::FILE *f = std::fopen(path.c_str(), "wb");
            const bool written = f != nullptr && std::fwrite(seeds[i].data(), 1, seeds[i].size(), f) == seeds[i].size();
            if ((f != nullptr && std::fclose(f) != 0) || !written) {
                std::perror(path.c_str());
                return 1;
            }
        }
        return 0;
    }
    for (const auto &seed : seeds)
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
    std::printf("%zu passed, 0 failed\n", seeds.size());
    return 0;
}
