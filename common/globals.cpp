#include "common/globals.h"

namespace brisa {

bool gLargeFonts = false;
float gScaleX = 1.0f;
float gScaleY = 1.0f;
std::string gConnectTo;
BookKinds gBookKinds;

} // namespace brisa
