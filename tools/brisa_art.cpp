// brisa-art <output-folder>: draws the skin and the animated pictures and
// synthesises the interface sounds into the program folder. Run at build time.
#include "tools/art_files.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    // The pictures are drawn off screen whatever display is around, so the
    // output is the same on every run.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: brisa-art <output-folder>\n");
        return 2;
    }
    std::string error;
    if (!brisa::art::WriteArtFiles(argv[1], error)) {
        std::fprintf(stderr, "brisa-art: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
