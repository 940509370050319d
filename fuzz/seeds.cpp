// Writes the starting inputs of every fuzz target (fuzz/seeds.h):
// brisa-fuzz-seeds FOLDER creates FOLDER/<target>/seed-<n>.
#include "fuzz/seeds.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& [name, seeds] : brisa::fuzz::AllSeeds()) {
        const std::filesystem::path folder = std::filesystem::path(argv[1]) / name;
        std::filesystem::create_directories(folder); // throws (and so fails) when it cannot
        for (size_t i = 0; i < seeds.size(); ++i)
            if (!(std::ofstream(folder / ("seed-" + std::to_string(i + 1)), std::ios::binary) << seeds[i])) {
                std::fprintf(stderr, "cannot write the seeds of %s below %s\n", name.c_str(), argv[1]);
                return 1;
            }
    }
    return 0;
}
