#include "platform/picture_file.h"

#include "platform/regular_file.h"

namespace brisa {

namespace {
// The pictures the program shows are small; anything far larger is not one.
constexpr int64_t kMaxPictureBytes = 64 * 1024 * 1024;
} // namespace

QImage ReadPictureFile(const std::string& pPath) {
    std::string bytes;
    if (ReadRegularFile(pPath, bytes, kMaxPictureBytes) != FileRead::Read) return {};
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
}

} // namespace brisa
