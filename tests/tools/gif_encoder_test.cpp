#include "tests/tools/gif_decode.h"
#include "tools/gif_encoder.h"

#include <QMovie>
#include <gtest/gtest.h>

using brisa::art::BuildPalette;
using brisa::art::EncodeAnimation;
using brisa::art::EncodeGif;
using brisa::art::GifFrame;
using brisa::art::LzwCompress;
using brisa::test::DecodeGif;

namespace {

GifFrame FullFrame(int pWidth, int pHeight, std::vector<std::uint8_t> pIndices, int pDelay = 10) {
    GifFrame frame;
    frame.width = pWidth;
    frame.height = pHeight;
    frame.indices = std::move(pIndices);
    frame.delayCs = pDelay;
    return frame;
}

// Every pixel of pImage equals the palette colour of its index.
void ExpectPixels(const QImage& pImage, int pWidth, const std::vector<std::uint8_t>& pIndices,
                  const std::vector<QRgb>& pPalette) {
    ASSERT_EQ(pImage.width(), pWidth);
    for (std::size_t i = 0; i < pIndices.size(); ++i) {
        const int x = static_cast<int>(i % pWidth), y = static_cast<int>(i / pWidth);
        ASSERT_EQ(pImage.pixel(x, y) | 0xFF000000u, pPalette[pIndices[i]] | 0xFF000000u)
            << "pixel " << x << "," << y;
    }
}

std::uint32_t NextRandom(std::uint32_t& pState) {
    pState = pState * 1664525u + 1013904223u;
    return pState >> 24;
}

int MovieFrameCount(const std::string& pBytes) {
    QByteArray data = QByteArray::fromStdString(pBytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QMovie movie(&buffer, "gif");
    return movie.isValid() ? movie.frameCount() : -1;
}

} // namespace

TEST(LzwCompress, PacksCodesLeastSignificantBitFirstAndWidensAtTheRightCode) {
    // clear(4) 0 6 0 end(5): three-bit codes until code 8 is due, then four.
    EXPECT_EQ(LzwCompress({0, 0, 0, 0}, 2), std::string("\x84\x51", 2));
    // Nothing to compress: clear and end only.
    EXPECT_EQ(LzwCompress({}, 2), std::string("\x2C", 1));
}

TEST(EncodeGif, NoisyPictureWith256ColoursRoundTripsThroughTableRestarts) {
    std::vector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(qRgb(i, 255 - i, (i * 37) & 0xFF));
    std::uint32_t seed = 12345;
    std::vector<std::uint8_t> noise(160 * 120);
    for (auto& index : noise)
        index = static_cast<std::uint8_t>(NextRandom(seed));
    // Noise gives about one code per pixel: the 4096-code table fills several times.
    const std::string gif = EncodeGif(160, 120, palette, {FullFrame(160, 120, noise)});
    const auto decoded = DecodeGif(gif);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.size, QSize(160, 120));
    ExpectPixels(decoded.frames[0], 160, noise, palette);
}

TEST(EncodeGif, OneColourAndOnePixelStillDecode) {
    const std::vector<QRgb> palette{qRgb(1, 2, 3)};
    const auto decoded = DecodeGif(EncodeGif(1, 1, palette, {FullFrame(1, 1, {0})}));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.size, QSize(1, 1));
    EXPECT_EQ(decoded.frames[0].pixel(0, 0) | 0xFF000000u, qRgb(1, 2, 3));
}

TEST(EncodeGif, FramePlacedInsideThePictureKeepsTheRest) {
    const std::vector<QRgb> palette{qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 255)};
    GifFrame patch;
    patch.left = 2;
    patch.top = 1;
    patch.width = 2;
    patch.height = 2;
    patch.indices = {2, 2, 2, 2};
    const std::vector<std::uint8_t> white(6 * 4, 1);
    const auto decoded = DecodeGif(EncodeGif(6, 4, palette, {FullFrame(6, 4, white), patch}));
    ASSERT_EQ(decoded.frames.size(), 2u);
    const QImage& second = decoded.frames[1];
    EXPECT_EQ(second.pixel(0, 0) | 0xFF000000u, qRgb(255, 255, 255));
    EXPECT_EQ(second.pixel(2, 1) | 0xFF000000u, qRgb(0, 0, 255));
    EXPECT_EQ(second.pixel(3, 2) | 0xFF000000u, qRgb(0, 0, 255));
    EXPECT_EQ(second.pixel(5, 3) | 0xFF000000u, qRgb(255, 255, 255));
}

TEST(BuildPalette, CutsAGradientDownTo256CloseColours) {
    QImage image(512, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 512; ++x)
            image.setPixel(x, y, qRgb(x / 2, y * 4, 255 - x / 2));
    const auto palette = BuildPalette({image});
    ASSERT_EQ(palette.size(), 256u);
    // Every colour of the picture has a palette colour near it.
    int worst = 0;
    for (int y = 0; y < 64; y += 3)
        for (int x = 0; x < 512; x += 5) {
            const QRgb c = image.pixel(x, y);
            int best = 1 << 30;
            for (QRgb p : palette) {
                const int d =
                    std::max({std::abs(qRed(c) - qRed(p)), std::abs(qGreen(c) - qGreen(p)),
                              std::abs(qBlue(c) - qBlue(p))});
                best = std::min(best, d);
            }
            worst = std::max(worst, best);
        }
    EXPECT_LE(worst, 24);
}

TEST(EncodeAnimation, StoresChangesOnlyAndDecodesToTheSamePictures) {
    std::vector<QImage> pictures;
    for (int n = 0; n < 4; ++n) {
        QImage image(120, 80, QImage::Format_RGB32);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 120; ++x)
                image.setPixel(x, y, qRgb(x / 12 * 20, y / 10 * 25, 100));
        for (int y = 30; y < 40; ++y)
            for (int x = 10 + n * 20; x < 30 + n * 20; ++x)
                image.setPixel(x, y, qRgb(255, 255, 0));
        pictures.push_back(image);
    }
    pictures.push_back(pictures.back()); // an unchanged frame
    const std::string gif = EncodeAnimation(pictures, {10, 10, 10, 10, 50});
    const std::string firstOnly = EncodeAnimation({pictures[0]}, {10});
    // Four later frames cost far less than four more whole pictures.
    EXPECT_LT(gif.size(), firstOnly.size() * 2);

    const auto decoded = DecodeGif(gif);
    ASSERT_EQ(decoded.frames.size(), 5u);
    EXPECT_EQ(MovieFrameCount(gif), 5);
    for (std::size_t n = 0; n < pictures.size(); ++n) {
        // The pictures hold fewer than 256 colours: the palette is exact.
        EXPECT_EQ(decoded.frames[n], pictures[n].convertToFormat(QImage::Format_RGB32))
            << "frame " << n;
    }
    EXPECT_EQ(decoded.delaysMs.back(), 500);
}
