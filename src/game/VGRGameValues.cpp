#include "VGRGameValues.h"

#include "ZRFonts.h"

uint8_t MenuChoice = 0;
int32_t LastLevel = 1;
int32_t HighScore = 0;
int32_t StartMap = 1;
bool ZaRarozUnlocked = false;
bool MrRobotMode = false;
std::unique_ptr<TTGAFont> NumbersFont;
