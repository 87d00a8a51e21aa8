#include "ZRToolbox.h"

#include "Logger.h"

void ZRToolbox_Startup() { LogUnitVersion("ZRToolbox", "3.26"); }
