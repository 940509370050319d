#include "platform/picture_file.h"

#include "platform/regular_file.h"

#include <QBuffer>
#include <QImageReader>

namespace brisa {

namespace {
// The pictures the program shows are small; anything far larger is not one.
constexpr int64_t kMaxPictureBytes = 64 * 1024 * 1024;
} // namespace

QImage ReadPictureFile(const std::string& pPath) {
    std::string bytes;
    if (ReadRegularFile(pPath, bytes, kMaxPictureBytes) != FileRead::Read) return {};
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    // The format the name's suffix gives is tried alone first, so that only
    // its decoder is loaded; a picture whose content says otherwise is then
    // recognised by that.
    const size_t dot = pPath.find_last_of("./");
    if (dot != std::string::npos && pPath[dot] == '.') {
        QImageReader bySuffix(&buffer, QByteArray::fromStdString(pPath.substr(dot + 1)).toLower());
        bySuffix.setAutoDetectImageFormat(false);
        QImage picture = bySuffix.read();
        if (!picture.isNull()) return picture;
        buffer.seek(0);
    }
    QImageReader byContent(&buffer);
    return byContent.read();
}

} // namespace brisa
