#pragma once

#include <QIcon>
#include <string>

namespace brisa {

// The program's icons, drawn at run time: "ID_NORMAL" and its inverted twin
// "ID_INVERTED" (used for blinking in the tray). Any other name gives the
// normal icon.
QIcon ProgramIcon(const std::string& pName);

} // namespace brisa
