// A small GIF89a writer for the animated pictures shipped with the program:
// one global palette, LZW-compressed frames, a looping NETSCAPE2.0 block and
// a delay per frame.
#pragma once

#include <QImage>
#include <QRgb>
#include <cstdint>
#include <string>
#include <vector>

namespace brisa::art {

// One frame of an indexed animation: a rectangle of palette indices placed at
// (left, top) on the picture, shown for delayCs hundredths of a second. The
// frame stays on screen under the next one (disposal "do not dispose").
struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices; // width * height, row by row
    int delayCs = 10;
};

// LZW code stream of pIndices for the given minimum code size (2..8): clear
// code first, end code last, the table restarted with a clear code when it
// is full. The bytes are the packed codes, not yet cut into sub-blocks.
std::string LzwCompress(const std::vector<std::uint8_t>& pIndices, int pMinCodeSize);

// The whole GIF file: logical picture pWidth x pHeight, pPalette (1..256
// colours, padded with black to a power of two), pLoopCount (0 = forever).
// Returns an empty string when the input cannot be encoded (no frames, a
// frame outside the picture, an index beyond the palette, bad sizes).
std::string EncodeGif(int pWidth, int pHeight, const std::vector<QRgb>& pPalette,
                      const std::vector<GifFrame>& pFrames, int pLoopCount = 0);

// A palette of at most pMaxColours colours for all pictures together: every
// colour when there are few enough, otherwise a weighted median cut. Alpha is
// ignored. The result is the same for the same pictures.
std::vector<QRgb> BuildPalette(const std::vector<QImage>& pImages, int pMaxColours = 256);

// Full-picture animation: all pictures must have the size of the first one.
// They share one palette (BuildPalette), each is mapped onto it (nearest
// colour), and every frame after the first stores only the rectangle that
// changed since the frame before it. pDelaysCs holds one delay per picture.
// Empty string on bad input.
std::string EncodeAnimation(const std::vector<QImage>& pImages, const std::vector<int>& pDelaysCs,
                            int pLoopCount = 0);

} // namespace brisa::art
