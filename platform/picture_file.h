// Reading a picture file without ever waiting on what stands in its place.
#pragma once

#include <QImage>

#include <string>

namespace brisa {

// The decoded picture, or a null image when the file is missing, is not a
// regular file (a pipe, a device, a folder), or is not a picture.
QImage ReadPictureFile(const std::string& pPath);

} // namespace brisa
