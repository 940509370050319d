// Decodes GIF bytes with Qt's own reader, frame by frame.
#pragma once

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <string>
#include <vector>

namespace brisa::test {

struct DecodedGif {
    bool ok = false;
    QSize size;
    int imageCount = 0;
    int loopCount = 0;
    std::vector<QImage> frames;
    std::vector<int> delaysMs;
};

inline DecodedGif DecodeGif(const std::string& pBytes) {
    DecodedGif result;
    QByteArray data = QByteArray::fromStdString(pBytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    if (!reader.canRead())
        return result;
    result.size = reader.size();
    result.imageCount = reader.imageCount();
    result.loopCount = reader.loopCount();
    for (int guard = 0; guard < 1000; ++guard) {
        QImage frame = reader.read();
        if (frame.isNull())
            break;
        result.frames.push_back(frame.convertToFormat(QImage::Format_RGB32));
        result.delaysMs.push_back(reader.nextImageDelay()); // the delay of the frame just read
    }
    result.ok = !result.frames.empty();
    return result;
}

} // namespace brisa::test
