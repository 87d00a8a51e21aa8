#include "ZRToolbox.h"

#include "Logger.h"

int HexDigitValue(char c, bool lowerCase) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (lowerCase && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void ZRToolbox_Startup() { LogUnitVersion("ZRToolbox", "3.26"); }
