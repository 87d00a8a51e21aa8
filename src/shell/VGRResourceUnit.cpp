#include "VGRResourceUnit.h"

// ---- Title, credits and main menu -----------------------------------------

// ---- Game over and completion scenes --------------------------------------
