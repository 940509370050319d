#include "tools/gif_encoder.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace brisa::art {

namespace {

constexpr int kMaxCodes = 4096; // 12-bit LZW codes
constexpr int kLastCode = kMaxCodes - 1;

// Packs codes of varying width into bytes, least significant bit first.
class BitPacker {
public:
    void Put(int pCode, int pBits) {
        m_Acc |= static_cast<std::uint32_t>(pCode) << m_Count;
        m_Count += pBits;
        while (m_Count >= 8) {
            m_Bytes.push_back(static_cast<char>(m_Acc & 0xFF));
            m_Acc >>= 8;
            m_Count -= 8;
        }
    }
    std::string Finish() {
        if (m_Count > 0)
            m_Bytes.push_back(static_cast<char>(m_Acc & 0xFF));
        m_Acc = 0;
        m_Count = 0;
        return std::move(m_Bytes);
    }

private:
    std::string m_Bytes;
    std::uint32_t m_Acc = 0;
    int m_Count = 0;
};

void PutByte(std::string& pOut, int pValue) {
    pOut.push_back(static_cast<char>(pValue & 0xFF));
}

void PutWord(std::string& pOut, int pValue) {
    PutByte(pOut, pValue);
    PutByte(pOut, pValue >> 8);
}

// Bits needed to number pCount entries, at least 1.
int BitsFor(int pCount) {
    int bits = 1;
    while ((1 << bits) < pCount)
        ++bits;
    return bits;
}

// Cuts pData into sub-blocks of at most 255 bytes and ends them with an
// empty block.
void PutSubBlocks(std::string& pOut, const std::string& pData) {
    for (std::size_t at = 0; at < pData.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, pData.size() - at);
        PutByte(pOut, static_cast<int>(n));
        pOut.append(pData, at, n);
    }
    PutByte(pOut, 0);
}

int Red(QRgb c) {
    return qRed(c);
}
int Green(QRgb c) {
    return qGreen(c);
}
int Blue(QRgb c) {
    return qBlue(c);
}

struct ColourCount {
    QRgb colour;
    std::uint64_t count;
};

// A box of the median cut: a run of the colour list.
struct Box {
    std::size_t begin;
    std::size_t end;
};

int Channel(QRgb pColour, int pChannel) {
    return pChannel == 0 ? Red(pColour) : pChannel == 1 ? Green(pColour) : Blue(pColour);
}

// Widest channel of a box and its range.
std::pair<int, int> WidestChannel(const std::vector<ColourCount>& pColours, const Box& pBox) {
    std::array<int, 3> low{255, 255, 255}, high{0, 0, 0};
    for (std::size_t i = pBox.begin; i < pBox.end; ++i)
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], Channel(pColours[i].colour, c));
            high[c] = std::max(high[c], Channel(pColours[i].colour, c));
        }
    int best = 0;
    for (int c = 1; c < 3; ++c)
        if (high[c] - low[c] > high[best] - low[best])
            best = c;
    return {best, high[best] - low[best]};
}

std::uint64_t BoxCount(const std::vector<ColourCount>& pColours, const Box& pBox) {
    std::uint64_t total = 0;
    for (std::size_t i = pBox.begin; i < pBox.end; ++i)
        total += pColours[i].count;
    return total;
}

QRgb BoxMean(const std::vector<ColourCount>& pColours, const Box& pBox) {
    std::uint64_t r = 0, g = 0, b = 0, n = 0;
    for (std::size_t i = pBox.begin; i < pBox.end; ++i) {
        const std::uint64_t w = pColours[i].count;
        r += Red(pColours[i].colour) * w;
        g += Green(pColours[i].colour) * w;
        b += Blue(pColours[i].colour) * w;
        n += w;
    }
    if (n == 0)
        return qRgb(0, 0, 0);
    return qRgb(static_cast<int>((r + n / 2) / n), static_cast<int>((g + n / 2) / n),
                static_cast<int>((b + n / 2) / n));
}

int Distance(QRgb a, QRgb b) {
    const int dr = Red(a) - Red(b), dg = Green(a) - Green(b), db = Blue(a) - Blue(b);
    // The eye is most sensitive to green and least to blue.
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

// Maps colours to their nearest palette entry, remembering answers.
class NearestColour {
public:
    explicit NearestColour(const std::vector<QRgb>& pPalette) : m_Palette(pPalette) {}
    std::uint8_t operator()(QRgb pColour) {
        pColour = 0xFF000000u | (pColour & 0xFFFFFFu);
        auto it = m_Cache.find(pColour);
        if (it != m_Cache.end())
            return it->second;
        std::size_t best = 0;
        int bestDistance = Distance(pColour, m_Palette[0]);
        for (std::size_t i = 1; i < m_Palette.size() && bestDistance > 0; ++i) {
            const int d = Distance(pColour, m_Palette[i]);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        const auto index = static_cast<std::uint8_t>(best);
        m_Cache.emplace(pColour, index);
        return index;
    }

private:
    const std::vector<QRgb>& m_Palette;
    std::unordered_map<QRgb, std::uint8_t> m_Cache;
};

} // namespace

std::string LzwCompress(const std::vector<std::uint8_t>& pIndices, int pMinCodeSize) {
    pMinCodeSize = std::clamp(pMinCodeSize, 2, 8);
    const int alphabet = 1 << pMinCodeSize;
    const int clearCode = alphabet;
    const int endCode = clearCode + 1;

    // child[code * alphabet + index]: the code of (string of code) + index.
    std::vector<std::int16_t> child(static_cast<std::size_t>(kMaxCodes) * alphabet, -1);
    int codeSize = pMinCodeSize + 1;
    int nextCode = endCode + 1;
    BitPacker out;

    // Writes one code; the width grows as soon as the next code to be made
    // no longer fits, which is the moment a decoder widens too.
    auto emit = [&](int pCode) {
        out.Put(pCode, codeSize);
        if (nextCode >= (1 << codeSize) && codeSize < 12)
            ++codeSize;
    };

    emit(clearCode);
    if (pIndices.empty()) {
        emit(endCode);
        return out.Finish();
    }
    int prefix = pIndices[0] & (alphabet - 1);
    for (std::size_t i = 1; i < pIndices.size(); ++i) {
        const int k = pIndices[i] & (alphabet - 1);
        std::int16_t& next = child[static_cast<std::size_t>(prefix) * alphabet + k];
        if (next >= 0) {
            prefix = next;
            continue;
        }
        emit(prefix);
        if (nextCode >= kLastCode) {
            // The table is full: start over.
            emit(clearCode);
            std::fill(child.begin(), child.end(), std::int16_t{-1});
            codeSize = pMinCodeSize + 1;
            nextCode = endCode + 1;
        } else {
            next = static_cast<std::int16_t>(nextCode++);
        }
        prefix = k;
    }
    emit(prefix);
    emit(endCode);
    return out.Finish();
}

std::string EncodeGif(int pWidth, int pHeight, const std::vector<QRgb>& pPalette,
                      const std::vector<GifFrame>& pFrames, int pLoopCount) {
    if (pWidth <= 0 || pHeight <= 0 || pWidth > 0xFFFF || pHeight > 0xFFFF)
        return {};
    if (pPalette.empty() || pPalette.size() > 256 || pFrames.empty())
        return {};
    for (const GifFrame& f : pFrames) {
        if (f.width <= 0 || f.height <= 0 || f.left < 0 || f.top < 0)
            return {};
        if (f.left + f.width > pWidth || f.top + f.height > pHeight)
            return {};
        if (f.indices.size() != static_cast<std::size_t>(f.width) * f.height)
            return {};
        if (f.delayCs < 0 || f.delayCs > 0xFFFF)
            return {};
        for (std::uint8_t index : f.indices)
            if (index >= pPalette.size())
                return {};
    }

    const int tableBits = BitsFor(static_cast<int>(pPalette.size()));
    const int minCodeSize = std::max(2, tableBits);

    std::string out = "GIF89a";
    // Logical screen: global table present, 8 bits of colour resolution.
    PutWord(out, pWidth);
    PutWord(out, pHeight);
    PutByte(out, 0x80 | (7 << 4) | (tableBits - 1));
    PutByte(out, 0); // background colour index
    PutByte(out, 0); // no aspect ratio
    for (int i = 0; i < (1 << tableBits); ++i) {
        const QRgb c = i < static_cast<int>(pPalette.size()) ? pPalette[i] : qRgb(0, 0, 0);
        PutByte(out, qRed(c));
        PutByte(out, qGreen(c));
        PutByte(out, qBlue(c));
    }

    // Looping block.
    PutByte(out, 0x21);
    PutByte(out, 0xFF);
    PutByte(out, 11);
    out += "NETSCAPE2.0";
    PutByte(out, 3);
    PutByte(out, 1);
    PutWord(out, std::clamp(pLoopCount, 0, 0xFFFF));
    PutByte(out, 0);

    for (const GifFrame& f : pFrames) {
        // Graphic control: disposal 1 (leave the frame in place), no transparency.
        PutByte(out, 0x21);
        PutByte(out, 0xF9);
        PutByte(out, 4);
        PutByte(out, 1 << 2);
        PutWord(out, f.delayCs);
        PutByte(out, 0);
        PutByte(out, 0);
        // Image descriptor, no local table, not interlaced.
        PutByte(out, 0x2C);
        PutWord(out, f.left);
        PutWord(out, f.top);
        PutWord(out, f.width);
        PutWord(out, f.height);
        PutByte(out, 0);
        PutByte(out, minCodeSize);
        PutSubBlocks(out, LzwCompress(f.indices, minCodeSize));
    }
    PutByte(out, 0x3B);
    return out;
}

std::vector<QRgb> BuildPalette(const std::vector<QImage>& pImages, int pMaxColours) {
    pMaxColours = std::clamp(pMaxColours, 1, 256);
    std::unordered_map<QRgb, std::uint64_t> histogram;
    for (const QImage& source : pImages) {
        const QImage image = source.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                ++histogram[0xFF000000u | line[x]];
        }
    }
    std::vector<ColourCount> colours;
    colours.reserve(histogram.size());
    for (const auto& [colour, count] : histogram)
        colours.push_back({colour, count});
    std::sort(colours.begin(), colours.end(),
              [](const ColourCount& a, const ColourCount& b) { return a.colour < b.colour; });
    if (colours.empty())
        return {qRgb(0, 0, 0)};
    if (colours.size() <= static_cast<std::size_t>(pMaxColours)) {
        std::vector<QRgb> palette;
        for (const ColourCount& c : colours)
            palette.push_back(c.colour);
        return palette;
    }

    std::vector<Box> boxes{{0, colours.size()}};
    while (boxes.size() < static_cast<std::size_t>(pMaxColours)) {
        // Split the box with the largest spread weighted by its pixel count.
        std::size_t chosen = boxes.size();
        double bestScore = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2)
                continue;
            const int range = WidestChannel(colours, boxes[i]).second;
            const double score = static_cast<double>(range) * range *
                                 static_cast<double>(BoxCount(colours, boxes[i]));
            if (score > bestScore) {
                bestScore = score;
                chosen = i;
            }
        }
        if (chosen == boxes.size())
            break;
        const Box box = boxes[chosen];
        const int channel = WidestChannel(colours, box).first;
        std::sort(colours.begin() + static_cast<std::ptrdiff_t>(box.begin),
                  colours.begin() + static_cast<std::ptrdiff_t>(box.end),
                  [channel](const ColourCount& a, const ColourCount& b) {
                      const int ca = Channel(a.colour, channel), cb = Channel(b.colour, channel);
                      return ca != cb ? ca < cb : a.colour < b.colour;
                  });
        // Weighted median, keeping at least one colour on each side.
        const std::uint64_t half = BoxCount(colours, box) / 2;
        std::uint64_t running = 0;
        std::size_t cut = box.begin + 1;
        for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
            running += colours[i].count;
            cut = i + 1;
            if (running >= half)
                break;
        }
        boxes[chosen] = {box.begin, cut};
        boxes.push_back({cut, box.end});
    }
    std::vector<QRgb> palette;
    for (const Box& box : boxes)
        palette.push_back(BoxMean(colours, box));
    return palette;
}

std::string EncodeAnimation(const std::vector<QImage>& pImages, const std::vector<int>& pDelaysCs,
                            int pLoopCount) {
    if (pImages.empty() || pImages.size() != pDelaysCs.size())
        return {};
    const int width = pImages.front().width(), height = pImages.front().height();
    if (width <= 0 || height <= 0)
        return {};
    for (const QImage& image : pImages)
        if (image.width() != width || image.height() != height)
            return {};

    const std::vector<QRgb> palette = BuildPalette(pImages);
    NearestColour nearest(palette);
    std::vector<std::vector<std::uint8_t>> mapped;
    for (const QImage& source : pImages) {
        const QImage image = source.convertToFormat(QImage::Format_RGB32);
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < width; ++x)
                indices[static_cast<std::size_t>(y) * width + x] = nearest(line[x]);
        }
        mapped.push_back(std::move(indices));
    }

    std::vector<GifFrame> frames;
    for (std::size_t n = 0; n < mapped.size(); ++n) {
        int left = 0, top = 0, right = width - 1, bottom = height - 1;
        if (n > 0) {
            // Bounding box of the pixels that differ from the frame before.
            left = width;
            top = height;
            right = -1;
            bottom = -1;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const std::size_t at = static_cast<std::size_t>(y) * width + x;
                    if (mapped[n][at] == mapped[n - 1][at])
                        continue;
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            if (right < 0)
                left = top = right = bottom = 0; // unchanged: one pixel
        }
        GifFrame frame;
        frame.left = left;
        frame.top = top;
        frame.width = right - left + 1;
        frame.height = bottom - top + 1;
        frame.delayCs = pDelaysCs[n];
        frame.indices.reserve(static_cast<std::size_t>(frame.width) * frame.height);
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                frame.indices.push_back(mapped[n][static_cast<std::size_t>(y) * width + x]);
        frames.push_back(std::move(frame));
    }
    return EncodeGif(width, height, palette, frames, pLoopCount);
}

} // namespace brisa::art
