// Facts about the desktop and the user the program asks for.
#pragma once

#include <cstdint>
#include <string>

namespace brisa {

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;
    // The user's language as a Windows language id (0x0409 English - United
    // States), 0 when it cannot be told.
    virtual uint16_t SystemLanguageId() = 0;
    // Colour depth of the screen in bits per pixel.
    virtual int BitsPerPixel() = 0;
    // Logical dots per inch, horizontally and vertically.
    virtual int LogPixelsX() = 0;
    virtual int LogPixelsY() = 0;
    // The caret blink interval in milliseconds; 0 when the desktop has none.
    virtual int CaretBlinkTime() = 0;
    // Screen size in pixels.
    virtual int ScreenWidth() = 0;
    virtual int ScreenHeight() = 0;
    // The login name of the current user; false when it cannot be told.
    virtual bool UserName(std::string& pName) = 0;
    // Minutes to add to local standard time to get UTC (UTC+1 gives -60);
    // false when it cannot be told.
    virtual bool TimeZoneBias(int& pBias) = 0;
};

// Windows language id of a POSIX locale name such as "de_CH.UTF-8"; 0 when
// the language is unknown.
uint16_t LanguageIdFromLocale(const std::string& pLocale);

} // namespace brisa
