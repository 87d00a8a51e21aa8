#include "GAME.h"
