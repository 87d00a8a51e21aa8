#pragma once
// Replays: a game is decided by the random generator's seed and the key
// states of every frame, so a file holding the seed, the start values and the
// key changes of each frame plays the same session again. Every 60 frames the
// recorder also stores checksums of the game's logic state; playback compares
// them and stops at the first frame where the two runs part.
//
// File layout (all numbers little-endian):
//   "VGRREPLY"                 8 bytes
//   format version             u16 (1 or 2; from 2 on, Escape during play
//                              asks before it leaves and P pauses: a
//                              version 1 replay plays with neither)
//   seed                       u32
//   start map                  u8 (1..50)
//   mode                       u8 (0 normal, 1 Za.Raroz)
//   last level                 i32 (1..26)
//   program version            u8 length (1..64), that many printable bytes
// then records, each a tag byte:
//   'K' frame u32, count u16 (1..512), count x u16: key symbol (0..511),
//       bit 15 set for pressed, clear for released
//   'C' frame u32, part count u8 (TReplayChecks::Parts), that many u32
//   'E' frame total u32; the last record, nothing may follow
// Frames count the calls of ProcessEvents from the start of the session and
// rise strictly within the key records and within the check records.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The logic checksums of one moment of play, by part, so a divergence can
// name what differs.
struct TReplayChecks {
  static constexpr int Parts = 7;
  static constexpr const char* Names[Parts] = {"map", "lives", "score", "professor", "monsters", "boulder", "meter"};
  std::array<uint32_t, Parts> Values{};
  bool operator==(const TReplayChecks&) const = default;
};

struct TReplayHeader {
  static constexpr uint16_t CurrentVersion = 2;
  static constexpr uint16_t PauseVersion = 2;
  uint16_t FormatVersion = CurrentVersion;
  uint32_t Seed = 0;
  uint8_t StartMap = 1;
  bool Mode = false;
  int32_t LastLevel = 1;
  std::string ProgramVersion;
};

struct TKeyChange {
  uint16_t Sym = 0;
  bool Down = false;
  bool operator==(const TKeyChange&) const = default;
};

struct TReplayKeys {
  uint32_t Frame = 0;
  std::vector<TKeyChange> Changes;
};

struct TReplayCheck {
  uint32_t Frame = 0;
  TReplayChecks Checks;
};

class TReplay {
 public:
  static constexpr std::size_t MaxFileSize = 64u << 20;

  std::vector<uint8_t> Encode() const;
  // False with a one-line reason for damaged, truncated or foreign data;
  // the replay is left empty then.
  bool Decode(const uint8_t* data, std::size_t size, std::string& error);
  bool Save(const std::string& fileName, std::string& error) const;
  bool Load(const std::string& fileName, std::string& error);

  TReplayHeader Header;
  std::vector<TReplayKeys> Keys;
  std::vector<TReplayCheck> Checks;
  uint32_t FrameTotal = 0;
};

// ---- Recording and playback around ProcessEvents --------------------------

// The game loop names the source of the checksums while a map is in play and
// clears it (nullptr) when none is.
void SetReplayChecksSource(std::function<TReplayChecks()> source);

// Records from now on: every later ProcessEvents adds its key changes, and
// every 60th its checks when a game is in play. The file is written by
// StopReplay or at the end of the process.
void StartRecording(const std::string& fileName, const TReplayHeader& header);
// Plays `replay` from now on: window keys are ignored (other window events
// still work), the recorded changes are applied frame by frame, and checks
// are compared. A divergence writes an error line and calls the failure
// handler, which by default ends the process with exit code 4. A replay that
// runs out while the program still asks for frames (its recording was cut
// short by a closed window) holds Escape from then on. A replay without any
// checks is a bare key script: nothing is compared. With a record file the
// keys are written there again with the checks of this run, up to the frame
// where the program stopped asking (a script may run longer than the game).
void StartPlayback(TReplay replay, const std::string& recordFile = "");
// Writes a recording (true when written); ends a playback (false when it
// ended before its last frame). Without a session, true.
bool StopReplay();
// Frames (ProcessEvents calls) since the session started.
uint32_t ReplayFrame();
bool ReplayActive();
// Test seam: called with the error line instead of ending the process. It may
// throw to unwind the game.
void SetReplayFailureHandler(std::function<void(const std::string&)> handler);

// ---- Frame timing for the timedemo ----------------------------------------

// CPU time of the game's frames: the work before and after the present, and
// the whole frame. The game loop marks the points; nothing is kept unless
// timing is switched on.
struct TFrameTimer {
  bool Enabled = false;
  std::vector<double> Work;   // microseconds of logic and drawing
  std::vector<double> Whole;  // microseconds of the whole frame
  void FrameStart();
  void PresentStart();
  void PresentEnd();
  void FrameEnd();
  // "frames N, wall S s; work median/p99/max ...; whole ..." in milliseconds.
  std::string Report(double wallSeconds) const;

 private:
  double Start_ = 0, PresentStart_ = 0, PresentTime_ = 0;
};
extern TFrameTimer FrameTimer;
// CPU time of this thread in microseconds.
double ThreadCpuMicros();
