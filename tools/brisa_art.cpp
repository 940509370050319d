// brisa-art <output-folder>: draws the skin and the animated pictures and
// synthesises the interface sounds into the program folder.
// brisa-art --icons <folder>: draws the program icon for the desktop's icon
// theme, <folder>/hicolor/<N>x<N>/apps/com.brisamail.BrisaMail.png.
// Run at build time.
#include "platform/icons.h"
#include "tools/art_files.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

namespace {

int WriteIcons(const QString& pFolder) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(pFolder).arg(size);
        const QString file = folder + "/com.brisamail.BrisaMail.png";
        if (!QDir().mkpath(folder) || !brisa::ProgramIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "brisa-art: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The pictures are drawn off screen whatever display is around, so the
    // output is the same on every run.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QGuiApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--icons") == 0) return WriteIcons(QString::fromLocal8Bit(argv[2]));
    if (argc != 2) {
        std::fprintf(stderr, "usage: brisa-art <output-folder> | brisa-art --icons <folder>\n");
        return 2;
    }
    std::string error;
    if (!brisa::art::WriteArtFiles(argv[1], error)) {
        std::fprintf(stderr, "brisa-art: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
