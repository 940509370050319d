// The GIF encoder through Qt's own GIF reader, and the data files brisa-art
// writes: every file the build expects, animated pictures that move, sounds
// as the players want them.
#include "tests/support/temp_env.h"
#include "tools/art_files.h"
#include "tools/gif_encoder.h"

#include <QBuffer>
#include <QtEndian>
#include <QImageReader>
#include <QStringList>
#include <gtest/gtest.h>

namespace brisa::art {
namespace {

struct Decoded {
    QSize size;
    int loops = 0;
    std::vector<QImage> frames;
    std::vector<int> delaysMs;
};

Decoded Decode(const std::string& pBytes) {
    QByteArray data = QByteArray::fromStdString(pBytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    Decoded result{reader.size(), reader.loopCount(), {}, {}};
    for (QImage frame = reader.read(); !frame.isNull() && result.frames.size() < 100; frame = reader.read()) {
        result.frames.push_back(frame.convertToFormat(QImage::Format_RGB32));
        result.delaysMs.push_back(reader.nextImageDelay());
    }
    return result;
}

TEST(Art, GifsReadBackAsWritten) {
    // The LZW codes themselves: clear(4) 0 6 0 end(5), three bits until code 8 is due.
    EXPECT_EQ(LzwCompress({0, 0, 0, 0}, 2), std::string("\x84\x51", 2));
    EXPECT_EQ(LzwCompress({}, 2), std::string("\x2C", 1));

    std::vector<QRgb> colours256;
    for (int i = 0; i < 256; ++i) colours256.push_back(qRgb(i, 255 - i, (i * 37) & 0xFF));
    std::vector<uint8_t> noise(160 * 120); // about a code a pixel: the code table fills and restarts
    uint32_t seed = 12345;
    for (auto& index : noise) index = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    struct Case {
        int width, height;
        std::vector<QRgb> palette;
        std::vector<GifFrame> frames; // each stays under the next
    };
    const Case cases[] = {
        {160, 120, colours256, {GifFrame{0, 0, 160, 120, noise}}},
        {1, 1, {qRgb(1, 2, 3)}, {GifFrame{0, 0, 1, 1, {0}}}},
        {6, 4, {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 255)},
         {GifFrame{0, 0, 6, 4, std::vector<uint8_t>(24, 1)}, GifFrame{2, 1, 2, 2, {2, 2, 2, 2}}, GifFrame{5, 3, 1, 1, {0}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const Decoded decoded = Decode(EncodeGif(c.width, c.height, c.palette, c.frames));
        ASSERT_EQ(decoded.frames.size(), c.frames.size());
        EXPECT_EQ(decoded.size, QSize(c.width, c.height));
        std::vector<uint8_t> canvas(static_cast<size_t>(c.width * c.height));
        for (size_t n = 0; n < c.frames.size(); ++n) {
            const GifFrame& f = c.frames[n];
            for (int i = 0; i < f.width * f.height; ++i)
                canvas[static_cast<size_t>((f.top + i / f.width) * c.width + f.left + i % f.width)] = f.indices[static_cast<size_t>(i)];
            for (int i = 0; i < c.width * c.height; ++i)
                ASSERT_EQ(decoded.frames[n].pixel(i % c.width, i / c.width) | 0xFF000000u, c.palette[canvas[static_cast<size_t>(i)]] | 0xFF000000u)
                    << "frame " << n << " pixel " << i;
        }
    }

    // Whole pictures: fewer than 256 colours come back exactly; later
    // frames store what changed only.
    std::vector<QImage> pictures;
    for (int n = 0; n < 4; ++n) {
        QImage image(120, 80, QImage::Format_RGB32);
        for (int i = 0, x = 0, y = 0; i < 120 * 80; ++i, x = i % 120, y = i / 120)
            image.setPixel(x, y, x >= 10 + n * 20 && x < 30 + n * 20 && y >= 30 && y < 40 ? qRgb(255, 255, 0) : qRgb(x / 12 * 20, y / 10 * 25, 100));
        pictures.push_back(image);
    }
    pictures.push_back(pictures.back());
    const std::string gif = EncodeAnimation(pictures, {10, 10, 10, 10, 50});
    EXPECT_LT(gif.size(), EncodeAnimation({pictures[0]}, {10}).size() * 2);
    const Decoded decoded = Decode(gif);
    ASSERT_EQ(decoded.frames.size(), pictures.size());
    for (size_t n = 0; n < pictures.size(); ++n) EXPECT_EQ(decoded.frames[n], pictures[n]) << n;
    EXPECT_EQ(decoded.delaysMs.back(), 500);
}

TEST(Art, TheDataFiles) {
    test::TempEnv env;
    std::string error;
    ASSERT_TRUE(WriteArtFiles(env.ProgramFolder(), error)) << error;
    const QStringList expected = QStringLiteral(BRISA_ART_FILES).split(',');
    ASSERT_EQ(static_cast<qsizetype>(ArtFileNames().size()), expected.size());
    const std::map<std::string, QSize> sizes = {{"logo.gif", {47, 45}}, {"zovid.gif", {88, 31}}, {"brisa_banner.gif", {468, 60}},
                                                {"/banner_", {468, 60}}, {"/button_", {55, 25}}};
    for (const std::string& name : ArtFileNames()) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(expected.contains(QString::fromStdString(name)));
        const std::string bytes = test::ReadFile(env.Path(name));
        ASSERT_GT(bytes.size(), 44u);
        if (name.ends_with(".wav")) { // mono, 16 bits, 22050 Hz
            auto le32 = [&](size_t pAt) { return qFromLittleEndian<uint32_t>(bytes.data() + pAt); };
            EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8) + bytes.substr(36, 4), "RIFFWAVEfmt data");
            for (const auto& [at, value] : std::vector<std::pair<size_t, size_t>>{
                     {4, bytes.size() - 8}, {16, 16}, {20, 1 | 1 << 16}, {24, 22050}, {28, 44100}, {32, 2 | 16 << 16}, {40, bytes.size() - 44}})
                EXPECT_EQ(le32(at), value) << at;
        }
        if (!name.ends_with(".gif")) continue;
        // Animated, looping forever, each frame different from the one before.
        const Decoded decoded = Decode(bytes);
        QSize size;
        for (const auto& [prefix, expectedSize] : sizes)
            if (name.find(prefix) != std::string::npos) size = expectedSize;
        EXPECT_EQ(decoded.size, size);
        EXPECT_EQ(decoded.loops, -1);
        ASSERT_GT(decoded.frames.size(), 1u);
        for (size_t n = 1; n < decoded.frames.size(); ++n) EXPECT_NE(decoded.frames[n], decoded.frames[n - 1]) << n;
        for (int delay : decoded.delaysMs) EXPECT_GT(delay, 0);
    }
    EXPECT_LT(test::ReadFile(env.Path("brisa_banner.gif")).size(), 200u * 1024u);

    // A file in the place of the folder: reported, left as it was.
    test::WriteFile(env.Path("blocked"), "not a folder");
    EXPECT_FALSE(WriteArtFiles(env.Path("blocked"), error));
    EXPECT_NE(error.find("blocked"), std::string::npos) << error;
    EXPECT_EQ(test::ReadFile(env.Path("blocked")), "not a folder");
}

} // namespace
} // namespace brisa::art
