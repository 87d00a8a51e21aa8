#pragma once
// The main program: unit start-up in its fixed order, the loop between the
// menu and a game, and shutdown.

#include <cstdint>
#include <memory>
#include <string>

class TTGAFont;
class TZRRFont;

// Program-wide values shared by the menu and the game.
extern uint8_t MenuChoice;
extern int32_t LastLevel;
extern int32_t HighScore;
extern int32_t StartMap;
extern bool MrRobotMode;
// The font of the "Loading..." line, and the small digits of the cell-type
// overlay (drawn with spacing -1).
extern std::unique_ptr<TZRRFont> BigFont;
extern std::unique_ptr<TTGAFont> NumbersFont;

// Starts every unit in order, registering each finalisation as it goes.
void StartUnits(int argc, char** argv);

// The highest practice level offered at start: derived from bytes 1 and 2 of
// "objects.lst" and the archive's name.
int32_t ReadLastLevel(const std::string& archiveName);

// Runs the whole program; returns the process's exit code.
int VoltigorMain(int argc, char** argv);
