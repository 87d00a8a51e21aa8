#include "Voltigor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

#include "AudioMixer.h"
#include "CodingUnit.h"
#include "CollisionCheckerUnit.h"
#include "CompressorUnit.h"
#include "GAME.h"
#include "HuffmanUnit.h"
#include "ImageCollectionUnit.h"
#include "LexerUnit.h"
#include "Lists.h"
#include "Logger.h"
#include "MAD4HighLevelUnit.h"
#include "MAD4LowLevelUnit.h"
#include "MAD4MidLevelUnit.h"
#include "MatorPictureUnit.h"
#include "MusicCollectionUnit.h"
#include "MusicUnit.h"
#include "MyZStreamUnit.h"
#include "RLEUnit.h"
#include "ReplayUnit.h"
#include "ParametersUnit.h"
#include "PlaylistUnit.h"
#include "RawPictureReaderFASTUnit.h"
#include "RawPictureUnit.h"
#include "SPackUnit.h"
#include "SpriteUnit.h"
#include "ScrollUnit.h"
#include "SetupCommandUnit.h"
#include "StackUnit.h"
#include "SystemUnit.h"
#include "VGRResourceTypesUnit.h"
#include "VGRResourceUnit.h"
#include "VisualComponentUnit.h"
#include "WaveCollectionUnit.h"
#include "WaveUnit.h"
#include "XMapChainUnit.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRFonts.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"
#include "ZR_SDL.h"
#include "ZRWindowUnit.h"
#include "vcc_Menu.h"

std::unique_ptr<TZRRFont> BigFont;

namespace {

const char* const kVersionLine = "Voltigor V1.05 Build 0063";

// A replay that cannot be read or did not play to its end.
struct TReplayRefused {};

void PrintUsage() {
  std::cout << "Usage: Voltigor [FULLSCREEN] [switches]\n"
               "Voltigor, a platform game: build the creature, dodge the monsters and the boulder.\n\n"
               "  FULLSCREEN          (first argument) play full screen\n"
               "  -scale N            open the window N times the game's 640 x 400, N from 1 to 8\n"
               "                      (1 gives the original size; by default the largest that fits\n"
               "                      the desktop; a factor too large for it gives the largest that fits)\n"
               "  -nolog              write no log\n"
               "  -waitlog            wait one second before opening the log\n"
               "  -appendlog          append to the log instead of starting it anew\n"
               "  -mainlog FILE       write the log to FILE\n"
               "  -safelog            write the log to run.log beside the program\n"
               "  -record FILE        record the session's keys into a replay file (written to\n"
               "                      FILE.part, which replaces FILE when the session ends)\n"
               "  -replay FILE        play a replay file back instead of reading the keyboard\n"
               "  -timedemo           with -replay: frames without waiting, then CPU time per frame\n"
               "  --help, -help, -h, /?  show this help\n"
               "  --version           show the version\n\n"
               "Every switch may also start with \"/\".\n\n"
               "Keys:\n"
               "  Arrow keys          walk, and choose in the menus\n"
               "  Space               on a spring, be thrown up by it; on a trapdoor, drop through it\n"
               "                      (the professor cannot jump otherwise)\n"
               "  Return              confirm in the menus (Space too); in a game, pause as P does\n"
               "  P                   pause the game, and go on again\n"
               "  Escape              in a game, ask \"Leave this game? Y / N\": Escape again or Y\n"
               "                      ends the game and goes back to the menu, N or a move goes on;\n"
               "                      skip the title; in the main menu, go to QUIT\n"
               "  Keypad + / Keypad -  skip to the next / the previous map\n"
               "  F12                 mute and unmute\n"
               "  Alt+Enter           full screen on and off\n"
               "A game controller plays too: d-pad or left stick walk, the south button is Space,\n"
               "Start confirms (and in a game pauses), the east button or Back leave.\n\n"
               "The log is written beside the program (Voltigor.log); when that folder cannot take it,\n"
               "to $XDG_STATE_HOME/voltigor (else ~/.local/state/voltigor). Without a display, set\n"
               "SDL_VIDEODRIVER to choose a video driver.\n";
}

bool IsHelpSwitch(const std::string& arg) {
  const std::string a = UpperCase(arg);
  return a == "--HELP" || a == "-HELP" || a == "-H" || a == "/?";
}

bool HasSwitch(const char* name) {
  return Parameters->IndexOf(std::string("-") + name) >= 0 || Parameters->IndexOf(std::string("/") + name) >= 0;
}

std::string SwitchValue(const char* name) {
  std::string v = Parameters->ValueAfter(std::string("-") + name);
  return v.empty() ? Parameters->ValueAfter(std::string("/") + name) : v;
}

// The replay named by -replay, read before anything is drawn: a file that
// does not read ends the program with its reason.
struct TReplaySwitches {
  std::string RecordFile;
  std::string ReplayFile;
  bool TimeDemo = false;
  TReplay Replay;
  uint32_t Seed = 0;  // the seed this run started with
  // The recording's file, claimed before anything is drawn.
  std::unique_ptr<TReplayWriter> Out;
};
TReplaySwitches Replaying;

// Set when the archive did not mount or holds nothing: whatever then ends the
// start-up for want of data, this is what the player has to hear first.
std::string ArchiveTrouble;

void NoteArchiveTrouble(const std::string& archive) {
  ArchiveTrouble.clear();
  for (const TMAD4VolumeData& v : MAD4Volumes->Volumes) {
    if (v.FileName != archive || !v.Archive) continue;
    if (!v.Archive->Mounted) {
      ArchiveTrouble = "cannot open the data archive " + archive;
    } else if (v.Archive->FileCount() == 0) {
      ArchiveTrouble = "the data archive " + archive + " holds no files";
    } else if (v.Archive->Damaged()) {
      // Cut short or overwritten: the members past the damage are lost, and
      // the first of them to be missed is not what the player must mend.
      ArchiveTrouble = "the data archive " + archive + " is damaged";
    }
  }
}

// The main program's own objects hold surfaces, so they must go before SDL
// does, also when a fatal exit cuts the program short. Registered last, this
// runs first among the finalisations; after a normal end it finds nothing.
void FreeProgramObjects() {
  Resources.reset();
  InfoFont.reset();
  NumbersFont.reset();
  BigFont.reset();
}

}  // namespace

void LoadProgram() {
  AddExitProc("Voltigor", FreeProgramObjects);
  // 1. Debug lines off, and the chattiest units' routine lines dropped.
  Log->SetLevels("SWE");
  for (const char* f : {"*", "-ImageCollection*", "-WaveCollection*", "-MusicCollection*", "-MAD4LowLevel*"}) {
    Log->Filters.emplace_back(f);
  }
  // 2. One random sequence per run, seeded from the millisecond clock, or
  // the replay's own seed.
  Replaying.RecordFile = SwitchValue("record");
  Replaying.ReplayFile = SwitchValue("replay");
  Replaying.TimeDemo = HasSwitch("timedemo") && !Replaying.ReplayFile.empty();
  if (!Replaying.ReplayFile.empty()) {
    std::string error;
    if (!Replaying.Replay.Load(Replaying.ReplayFile, error)) {
      const std::string line = "Cannot play the replay " + Replaying.ReplayFile + ": " + error;
      Log->Error(line, "Voltigor");
      ReportFatal(line);
      throw TReplayRefused();
    }
    Randomize(Replaying.Replay.Header.Seed);
  } else {
    Randomize(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch() / std::chrono::milliseconds(1)));
  }
  // A recording that cannot be written is told now, not after the session.
  if (!Replaying.RecordFile.empty()) {
    Replaying.Out = std::make_unique<TReplayWriter>();
    std::string error;
    bool ok = Replaying.Out->Open(Replaying.RecordFile, error);
    // A replay recorded anew has its header already: a disk that cannot
    // take even that is found here too.
    if (ok && !Replaying.ReplayFile.empty() && !Replaying.Out->Begin(Replaying.Replay.Header)) {
      error = "cannot write the recording " + Replaying.RecordFile + ": " + Replaying.Out->Error();
      Replaying.Out->Abandon();
      ok = false;
    }
    if (!ok) {
      Replaying.Out.reset();
      Log->Error(error, "Voltigor");
      ReportFatal(error);
      throw TReplayRefused();
    }
    // A start-up that ends before the session begins leaves no temporary.
    AddExitProc("Voltigor", [] {
      if (Replaying.Out) Replaying.Out->Abandon();
      Replaying.Out.reset();
    });
  }
  Replaying.Seed = RandSeed;
  // 3. The program's version line.
  Log->Status(kVersionLine, "Voltigor");
  // 4. Video, full screen when the first argument (only the first) says so.
  const std::string first = Parameters->Args.size() > 1 ? UpperCase(Parameters->Args[1]) : "";
  // The display judges -scale against the desktop, and says what it does.
  if (HasSwitch("scale")) SetWindowScaleRequest(SwitchValue("scale"));
  Initialize(640, 400, 32, first == "FULLSCREEN" ? VF_FULLSCREEN | VF_BACKBUFFER : VF_BACKBUFFER);
  // 5. No mouse pointer over the game.
  ShowCursor(false);
  // 6. 60 frames a second: a 16 ms frame period.
  SetFrameRate(60);
  // 7. The archive beside the program serves when the working folder has none.
  const std::string archive = LocateArchive("Voltigor.mad4");
  MAD4Volumes->Mount(archive, 100, false);
  NoteArchiveTrouble(archive);
  // 8. The first frame: "Loading..." in the program's own font.
  BigFont = std::make_unique<TZRRFont>("font\\hamp.zrr");
  BigFont->TextOut("Loading...", 320, 192, taCenter);
  Flip();
  // 9. The small digits of the cell-type overlay, set tight.
  NumbersFont = std::make_unique<TTGAFont>("font\\lilnums.tga");
  NumbersFont->Spacing = -1;
  // 10. Trace marks around the practice-level key, for reading the log.
  Log->TraceNumber(1);
  // 11. How many practice levels the menu offers.
  LastLevel = ReadLastLevel("Voltigor.mad4");
  Log->TraceNumber(2);  // 12.
  LoadGameData(true);  // 13. to 16.
  // 17. A black back buffer for the menu to start from.
  Bar(0, 0, 639, 399, 0, 0, 0);
  // The "Loading..." font has drawn its one line; its surfaces would only
  // add to what the menu and the game hold.
  BigFont.reset();
}

void LoadGameData(bool withMusic) {
  // The data tool and the tests run without the units' start-ups.
  if (!MusicCollection) MusicCollection = std::make_unique<TMusicCollection>();
  if (!PlayLists) PlayLists = std::make_unique<TPlayLists>();
  if (!WaveCollection) WaveCollection = std::make_unique<TWaveCollection>();
  if (!ImageCollection) ImageCollection = std::make_unique<TImageCollection>();
  // 13. The object and monster definitions; unusable data ends the start-up here.
  Resources = std::make_unique<TResources>();
  // 14. A new run starts without a high score.
  HighScore = 0;
  // 15. Music, playlists and sound effects; the images follow from the same file.
  if (withMusic) MusicCollection->Load("Zapkin.ini", "Music");
  PlayLists->Load("Zapkin.ini", "Playlists");
  WaveCollection->Load("Zapkin.ini", "Waves");
  ImageCollection->AddByList("Zapkin.ini", "GFX");
  // 16. The two checkerboard background tiles are drawn opaque.
  for (const char* name : {"DarkBrick1", "DarkBrick2"}) {
    if (PImage brick = ImageCollection->FindImage(name)) {
      SetImageColorKey(brick, false);
    } else {
      Log->Error(std::string("Image not found! (") + name + ")", "Voltigor");
    }
  }
}

void FreeGameData() {
  ImageCollection.reset();
  WaveCollection.reset();
  PlayLists.reset();
  MusicCollection.reset();
  Resources.reset();
}

// Menu and game take turns until the player quits; MODE and any unknown
// code bring the menu straight back.
void RunMainLoop() {
  MenuChoice = 0;
  for (;;) {
    MenuChoice = MainMenu(MenuChoice);
    if (MenuChoice == 0 || MenuChoice == 1) {
      PlayGame();
    } else if (MenuChoice == 3) {
      break;
    }
  }
}

void StopProgram() {
  // The fonts' and definitions' surfaces go before SDL does.
  FreeProgramObjects();
  Finalize();
}

namespace {

void EndTimeDemo();

// A replay holds the whole session from the title on: the menu's keys as
// well as the games'.
void StartSession() {
  if (!Replaying.ReplayFile.empty()) {
    const TReplayHeader& h = Replaying.Replay.Header;
    if (h.ProgramVersion != kVersionLine) {
      Log->Warning("Replay made by " + h.ProgramVersion, "Voltigor");
    }
    StartMap = h.StartMap;
    MrRobotMode = h.Mode;
    LastLevel = h.LastLevel;
    // A replay made in the Za.Raroz mode finds it offered and chosen in the
    // menu, without a completion earlier in the session.
    if (h.Mode) ZaRarozUnlocked = true;
    UnpacedFrames = Replaying.TimeDemo;
    FrameTimer.Enabled = Replaying.TimeDemo;
    // A timedemo whose replay runs out ends there; in real time the player
    // takes over.
    if (Replaying.TimeDemo) SetReplayRunOutHandler(EndTimeDemo);
    // Replays recorded before the pause and the question knew one Escape.
    PauseAndAskKeys = h.FormatVersion >= TReplayHeader::PauseVersion;
    StartPlayback(Replaying.Replay, std::move(Replaying.Out));
  } else if (Replaying.Out) {
    TReplayHeader h;
    h.Seed = Replaying.Seed;
    h.StartMap = static_cast<uint8_t>(StartMap);
    h.Mode = MrRobotMode;
    h.LastLevel = LastLevel;
    h.ProgramVersion = kVersionLine;
    if (!StartRecording(std::move(Replaying.Out), h)) throw TReplayRefused();
  }
  // A window closed mid-game still leaves a recording that plays.
  if (ReplayActive()) AddExitProc("ReplayUnit", StopReplayAtExit);
}

std::chrono::steady_clock::time_point WallStart;

// The replay's end, and the timedemo's figures; false when the replay did
// not play well.
bool FinishSession() {
  const bool replayOk = StopReplay();
  SetReplayRunOutHandler(nullptr);
  PauseAndAskKeys = true;
  if (Replaying.TimeDemo) {
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - WallStart).count();
    const std::string report = FrameTimer.Report(wall);
    Log->Status(report, "Voltigor");
    std::cout << report << std::endl;
  }
  return replayOk;
}

// Runs inside the frame that asked for more than the replay holds: nothing
// more can happen without keys, so the program ends here, its finalisations
// run as after a quit.
void EndTimeDemo() { Halt(FinishSession() ? 0 : 4); }

void RunProgram() {
  LoadProgram();
  // 18.
  StartSession();
  WallStart = std::chrono::steady_clock::now();
  RunMainLoop();
  if (!FinishSession()) throw TReplayRefused();
  // 19.
  StopProgram();
}

}  // namespace

namespace {

int StartArgc = 0;
char** StartArgv = nullptr;

void StartParameters() { ParametersUnit_Startup(StartArgc, StartArgv); }
// The toolbox stands below the log, so its version line is written here.
void StartZRToolbox() { LogUnitVersion("ZRToolbox", ZRToolboxVersion); }

}  // namespace

const std::vector<TUnitStart>& UnitStarts() {
  static const std::vector<TUnitStart> table = {
      {"ParametersUnit", StartParameters, ParametersUnit_Shutdown},
      {"Logger", Logger_Startup, Logger_Shutdown},
      {"StackUnit", StackUnit_Startup, nullptr},
      {"Lists", Lists_Startup, nullptr},
      {"ZRToolbox", StartZRToolbox, nullptr},
      {"MatorPictureUnit", MatorPictureUnit_Startup, MatorPictureUnit_Shutdown},
      {"MAD4LowLevelUnit", MAD4LowLevelUnit_Startup, nullptr},
      {"MyZStreamUnit", MyZStreamUnit_Startup, MyZStreamUnit_Shutdown},
      {"RLEUnit", RLEUnit_Startup, nullptr},
      {"HuffmanUnit", HuffmanUnit_Startup, HuffmanUnit_Shutdown},
      {"CodingUnit", CodingUnit_Startup, nullptr},
      {"CompressorUnit", CompressorUnit_Startup, CompressorUnit_Shutdown},
      {"MAD4MidLevelUnit", MAD4MidLevelUnit_Startup, nullptr},
      {"MAD4HighLevelUnit", MAD4HighLevelUnit_Startup, MAD4HighLevelUnit_Shutdown},
      {"ZRStream3", ZRStream3_Startup, nullptr},
      {"RawPictureReaderFASTUnit", RawPictureReaderFASTUnit_Startup, nullptr},
      {"RawPictureUnit", RawPictureUnit_Startup, nullptr},
      {"ZRINIFile", ZRINIFile_Startup, nullptr},
      {"LexerUnit", LexerUnit_Startup, nullptr},
      {"ZR_SDL", ZR_SDL_Startup, nullptr},
      {"ZRFonts", ZRFonts_Startup, nullptr},
      {"MusicUnit", MusicUnit_Startup, nullptr},
      {"MusicCollectionUnit", MusicCollectionUnit_Startup, MusicCollectionUnit_Shutdown},
      {"WaveUnit", WaveUnit_Startup, nullptr},
      {"WaveCollectionUnit", WaveCollectionUnit_Startup, WaveCollectionUnit_Shutdown},
      {"ImageCollectionUnit", ImageCollectionUnit_Startup, ImageCollectionUnit_Shutdown},
      {"PlaylistUnit", PlaylistUnit_Startup, PlaylistUnit_Shutdown},
      {"ScrollUnit", ScrollUnit_Startup, nullptr},
      {"KeyNames", KeyNames_Startup, KeyNames_Shutdown},
      {"SetupCommandUnit", SetupCommandUnit_Startup, SetupCommandUnit_Shutdown},
      {"VisualComponentUnit", VisualComponentUnit_Startup, VisualComponentUnit_Shutdown},
      {"vcc_Menu", vcc_Menu_Startup, vcc_Menu_Shutdown},
      {"SpriteUnit", SpriteUnit_Startup, nullptr},
      {"CollisionCheckerUnit", CollisionCheckerUnit_Startup, nullptr},
      {"XMapUnit", XMapUnit_Startup, nullptr},
      {"SPackUnit", SPackUnit_Startup, nullptr},
      {"XMapChainUnit", XMapChainUnit_Startup, nullptr},
      {"XMapPackUnit", XMapPackUnit_Startup, nullptr},
  };
  return table;
}

namespace {

// Every fatal end tells the player in one line on standard error what went
// wrong and where the log is that says more, or that there is none.
void TellFatal(const std::string& cause) {
  std::string where;
  if (Log->Enabled() && !Log->WriteFailure().empty()) {
    // A full disk: the log holds less than it should, or nothing.
    where = Log->LinesWritten() == 0
                ? "no log: " + Log->FileName() + " could not be written (" + Log->WriteFailure() + ")"
                : "see " + Log->FileName() + ", incomplete: " + Log->WriteFailure();
  } else if (Log->Enabled()) {
    where = "see " + Log->FileName();
  } else if (!Log->FileName().empty()) {
    where = "no log: " + Log->FileName() + " could not be written";
  } else {
    where = "no log was written";
  }
  const std::string line = ArchiveTrouble.empty() ? cause : ArchiveTrouble + "; then " + cause;
  std::cerr << "Voltigor: " << LogEscaped(line) << " (" << LogEscaped(where) << ")" << std::endl;
}

}  // namespace

void StartUnits(int argc, char** argv) {
  SetFatalReporter(TellFatal);
  ArchiveTrouble.clear();
  CatchHangup();
  // A library may end the process with exit() mid-frame; the finalisations
  // must still write the log's closing line and the archive trailer. The
  // mixer outlives them: their music and sounds are freed through it.
  audio::TMixer::Instance();
  RunExitProcsOnExit();
  StartArgc = argc;
  StartArgv = argv;
  StartUnitTable(UnitStarts());
}

void StartUnitTable(const std::vector<TUnitStart>& units) {
  for (const TUnitStart& unit : units) {
    unit.Startup();
    if (unit.Shutdown) AddExitProc(unit.Name, unit.Shutdown);
  }
}

int32_t ReadLastLevel(const std::string& archiveName) {
  uint8_t key = 0;
  for (char c : archiveName) key ^= static_cast<uint8_t>(c);
  uint16_t v = 0;
  if (auto s = ZROpenStream("objects.lst")) {
    uint8_t b[2] = {0, 0};
    s->Read(b, 1);
    // The second read lands on the same buffer: bytes 1 and 2 of the file.
    s->Read(b, 2);
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  for (int bit = 0; bit < 8; ++bit) {
    if (key & (1u << bit)) {
      v = static_cast<uint16_t>(v / 2);
    } else {
      v = static_cast<uint16_t>(v - 5);
    }
  }
  int32_t level = (v >= 1 && v <= 26) ? v : 1;
  Log->Trace("Last level: " + std::to_string(level) + " - " + archiveName);
  return level;
}

namespace {

// Standard input, output and error opened on /dev/null when the caller
// closed them: otherwise the first files the program opens (the log, the
// archive) would take their numbers, and the timedemo's report would be
// written into them.
void KeepStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

// One file by identity: the device and inode when it exists, else the path
// it would have.
struct TFileIdentity {
  bool Exists = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  std::string Path;
};

TFileIdentity IdentityOf(const std::string& name) {
  TFileIdentity id;
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) {
    id.Exists = true;
    id.Device = st.st_dev;
    id.Inode = st.st_ino;
  }
  std::error_code ec;
  id.Path = std::filesystem::weakly_canonical(name, ec).string();
  if (ec) id.Path = name;
  return id;
}

bool SameFile(const TFileIdentity& a, const TFileIdentity& b) {
  if (a.Exists && b.Exists) return a.Device == b.Device && a.Inode == b.Inode;
  return !a.Exists && !b.Exists && a.Path == b.Path;
}

// The switches that name files, checked before the log opens: the log and a
// recording may not be written over the archive, the program, the replay
// being played or each other (by whatever name, link or path they are
// reached). Empty when all is well, else the one line that says why not.
std::string RefusedFileSwitch(const TParameters& params) {
  auto value = [&](const char* name) {
    const std::string v = params.ValueAfter(std::string("-") + name);
    return v.empty() ? params.ValueAfter(std::string("/") + name) : v;
  };
  auto lastWithoutValue = [&](const char* name) {
    for (const char* prefix : {"-", "/"}) {
      const int i = params.IndexOf(prefix + std::string(name));
      if (i > 0 && static_cast<std::size_t>(i) + 1 == params.Args.size()) return true;
    }
    return false;
  };
  for (const char* name : {"record", "replay"}) {
    if (lastWithoutValue(name) && value(name).empty()) return std::string("-") + name + " needs a file name";
  }
  struct TGuarded {
    std::string What;
    TFileIdentity Id;
  };
  const std::string replay = value("replay");
  std::vector<TGuarded> guarded = {
      {"the game's data archive", IdentityOf(LocateArchive("Voltigor.mad4"))},
      {"the program itself", IdentityOf(params.Args[0])},
  };
  const std::string log = TLogger::ChosenFileName(params);
  const bool logNamed =
      !value("mainlog").empty() && params.IndexOf("-safelog") < 0 && params.IndexOf("/safelog") < 0;
  const std::string logSwitch = (logNamed ? "-mainlog " : "the log ") + log;
  if (!log.empty()) {
    const TFileIdentity id = IdentityOf(log);
    for (const TGuarded& g : guarded) {
      if (SameFile(id, g.Id)) return logSwitch + " is " + g.What + "; the log is not written over it";
    }
    // The replay is read after the log opens, which would have emptied it.
    if (!replay.empty() && SameFile(id, IdentityOf(replay))) {
      return logSwitch + " is the replay being played; the log is not written over it";
    }
  }
  const std::string record = value("record");
  if (!record.empty()) {
    const TFileIdentity id = IdentityOf(record);
    if (!log.empty()) guarded.push_back({"the log", IdentityOf(log)});
    for (const TGuarded& g : guarded) {
      if (SameFile(id, g.Id)) return "-record " + record + " is " + g.What + "; nothing is recorded over it";
    }
  }
  return "";
}

}  // namespace

int VoltigorMain(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (IsHelpSwitch(argv[i])) {
      PrintUsage();
      return 0;
    }
  }
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--version") {
      std::cout << kVersionLine << "\n";
      return 0;
    }
  }
  // Without a display SDL would open an invisible one and wait for ever for
  // keys that cannot come.
  if (!DisplayAvailable([](const char* name) -> const char* { return std::getenv(name); })) {
    std::cerr << "Voltigor: no display available (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                 "Start it in a graphical session, or choose a video driver with SDL_VIDEODRIVER,\n"
                 "for example SDL_VIDEODRIVER=x11, wayland or kmsdrm.\n";
    return 1;
  }
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  KeepStandardStreams();
  // A reader of standard output that went away (a closed pipe) costs the
  // report, not the finalisations that write the log's last line.
  std::signal(SIGPIPE, SIG_IGN);
  if (const std::string refused = RefusedFileSwitch(TParameters(TParameters::FromCommandLine(argc, argv)));
      !refused.empty()) {
    std::cerr << "Voltigor: " << LogEscaped(refused) << " (no log was written)" << std::endl;
    return 4;
  }
  int code = 0;
  try {
    StartUnits(argc, argv);
    RunProgram();
  } catch (const THaltRequest&) {
    throw;
  } catch (const TReplayRefused&) {
    code = 4;
  } catch (const std::exception& e) {
    Log->Error(std::string("Unhandled error: ") + e.what(), "Voltigor");
    ReportFatal(std::string("unexpected error: ") + e.what());
    code = 3;
  }
  RunExitProcs();
  SetFatalReporter(nullptr);
  return code;
}
