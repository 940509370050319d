#include "ads/timesink.h"
