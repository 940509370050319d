// Pictures decoded ahead of need, while start-up does other work.
#pragma once

#include <QImage>

#include <string>

namespace brisa {

class IPreloadedPictures {
public:
    virtual ~IPreloadedPictures() = default;
    // The picture of pPath when it was decoded ahead (waiting for that if it
    // is still under way); otherwise a null image, and the caller reads the
    // file itself. Each picture is handed out once.
    virtual QImage Take(const std::string& pPath) = 0;
};

} // namespace brisa
