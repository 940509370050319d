// Program-wide values taken once at start-up and read by every window.
#pragma once

#include <string>

namespace brisa {

// True when the display's vertical logical resolution is not 96 dpi.
extern bool gLargeFonts;
// Logical dots per inch divided by 96 (1.25 at 120 dpi).
extern float gScaleX;
extern float gScaleY;
// The server address, copied from the ConnectTo setting at start-up and
// refreshed by the options window when it saves.
extern std::string gConnectTo;

// The labels of the six kinds of address book, translated at start-up.
struct BookKinds {
    std::string addrBkLst = "AOL";           // AddrBk.lst
    std::string wab = "Outlook Express";     // *.wab
    std::string pst = "Microsoft Outlook";   // *.pst
    std::string nab = "Netscape";            // abook.nab
    std::string ldif = "LDIF file";          // *.ldif
    std::string nndbase = "Eudora";          // nndbase.txt
};
extern BookKinds gBookKinds;

} // namespace brisa
