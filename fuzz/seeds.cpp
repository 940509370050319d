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
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        for (size_t i = 0; i < seeds.size() && !error; ++i) {
            std::ofstream out(folder / ("seed-" + std::to_string(i + 1)), std::ios::binary);
            if (!out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size())))
                error = std::make_error_code(std::errc::io_error);
        }
        if (error) {
            std::fprintf(stderr, "cannot write the seeds of %s below %s\n", name.c_str(), argv[1]);
            return 1;
        }
    }
    return 0;
}
