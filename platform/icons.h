#pragma once

#include <QIcon>
#include <QImage>
#include <string>

namespace brisa {

// The program's icons, drawn at run time: "ID_NORMAL" and its inverted twin
// "ID_INVERTED" (used for blinking in the tray). Any other name gives the
// normal icon.
QIcon ProgramIcon(const std::string& pName);

// The normal icon drawn at one size (pixels square): what the desktop's
// icon theme gets for the menu entry.
QImage ProgramIconImage(int pSize);

} // namespace brisa
