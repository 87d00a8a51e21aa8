#include "VGRGameValues.h"

#include "ZRFonts.h"

bool MrRobotMode = false;
std::unique_ptr<TTGAFont> NumbersFont;
