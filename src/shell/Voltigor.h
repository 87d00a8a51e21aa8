#pragma once
// The main program: unit start-up in its fixed order, the loop between the
// menu and a game, and shutdown.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VGRGameValues.h"

class TZRRFont;

// The program-wide values shared by the menu and the game (MenuChoice,
// LastLevel, HighScore, StartMap, MrRobotMode, ...) come with
// VGRGameValues.h; Resources with VGRResourceTypesUnit.h.
// The font of the "Loading..." line.
extern std::unique_ptr<TZRRFont> BigFont;

// One unit's start-up and, when it has one, its finalisation.
struct TUnitStart {
  const char* Name;
  void (*Startup)();
  void (*Shutdown)();
};
// The units in the order they start; they finalise in the reverse order.
const std::vector<TUnitStart>& UnitStarts();

// Starts every unit of UnitStarts in order, registering each finalisation as
// it goes.
void StartUnits(int argc, char** argv);
// The same for any table: each finalisation is registered as its unit
// starts, so they run in the reverse order.
void StartUnitTable(const std::vector<TUnitStart>& units);

// The highest practice level offered at start: derived from bytes 1 and 2 of
// "objects.lst" and the archive's name.
int32_t ReadLastLevel(const std::string& archiveName);

// The main program's own steps, apart so that tests can drive the screens:
// everything from the log filters to the cleared back buffer; the loop
// between the menu and a game until QUIT; the end after it.
void LoadProgram();
void RunMainLoop();
void StopProgram();

// The object and monster definitions, a new run's high score, the
// collections named in "Zapkin.ini" and the opaque background tiles: steps
// 13 to 16 of LoadProgram. Pictures that start at a random frame draw from
// the generator as they load, so whatever must play as the program plays
// (the level solver, the tests on the game's data) loads through here.
// Collections not made yet (no unit start-ups ran) are made first. Without
// `withMusic` the songs are left out: a headless game plays none, and they
// draw nothing.
void LoadGameData(bool withMusic);
// Frees what LoadGameData loaded, the collections with it.
void FreeGameData();

// Runs the whole program; returns the process's exit code.
int VoltigorMain(int argc, char** argv);
