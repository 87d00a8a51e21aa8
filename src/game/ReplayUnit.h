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
//
// A recording goes to "<file>.part" beside its file and takes the file's
// place only when the session ends. Once a second (every 60 frames) the
// frames since the last flush are written over the end record, followed by a
// new end record naming the frames so far: a recording cut off by a kill or
// a crash is a whole replay of the frames up to its last flush, which a
// reader plays like any other (it runs out there).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
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
  // Only a regular file is read: a pipe or a device would block or never end.
  bool Load(const std::string& fileName, std::string& error);

  TReplayHeader Header;
  std::vector<TReplayKeys> Keys;
  std::vector<TReplayCheck> Checks;
  uint32_t FrameTotal = 0;
};

// ---- Writing a recording --------------------------------------------------

class TFileStream;

// A recording on its way to its file, written to "<file>.part" beside it
// whole frames at a time. The file itself is replaced only by Commit, so a
// kill, a crash or a full disk never leaves it half written; what was
// recorded up to the last flush stays in the temporary as a shorter replay.
class TReplayWriter {
 public:
  TReplayWriter();
  // A recording neither committed nor abandoned stays in its temporary.
  ~TReplayWriter();
  TReplayWriter(const TReplayWriter&) = delete;
  TReplayWriter& operator=(const TReplayWriter&) = delete;

  // Claims the temporary; false with a one-line reason when the file cannot
  // be recorded to (a folder, not a regular file, a folder missing or not
  // writable, a temporary holding an earlier cut-off recording).
  bool Open(const std::string& fileName, std::string& error);
  // The header and an end record at frame 0: a replay from here on.
  bool Begin(const TReplayHeader& header);
  void Add(const TReplayKeys& keys);
  void Add(const TReplayCheck& check);
  // Writes the records added since the last flush with an end record naming
  // `frameTotal`; every record added must lie before it. After a failed
  // write the temporary is put back as it was and nothing more is written.
  bool Flush(uint32_t frameTotal);
  // The last flush, then the temporary takes the file's place.
  bool Commit(uint32_t frameTotal);
  // Removes the temporary; the file stays as it was.
  void Abandon();

  bool Begun() const { return Begun_; }
  bool Failed() const { return Failed_; }
  // Why the last operation failed.
  const std::string& Error() const { return Error_; }
  const std::string& FileName() const { return FileName_; }
  const std::string& TempName() const { return TempName_; }
  // Frames the temporary holds as a replay.
  uint32_t FramesWritten() const { return FramesWritten_; }

 private:
  bool Write(const std::vector<uint8_t>& bytes);
  std::string FileName_;
  std::string TempName_;
  std::unique_ptr<TFileStream> Stream_;
  std::vector<uint8_t> Pending_;
  int64_t Length_ = 0;  // the temporary's length, its end record included
  uint32_t FramesWritten_ = 0;
  bool Begun_ = false;
  bool Failed_ = false;
  std::string Error_;
};

// ---- Recording and playback around ProcessEvents --------------------------

// The game loop names the source of the checksums while a map is in play and
// clears it (nullptr) when none is.
void SetReplayChecksSource(std::function<TReplayChecks()> source);

// Records from now on into `out` (opened, not begun): every later
// ProcessEvents adds its key changes, and every 60th its checks when a game
// is in play; a flush follows every 60 frames. A write that fails is told
// once (log and standard error) and the recording stops there. The file
// takes the recording's place at StopReplay or at the end of the process.
// False when the header cannot be written (nothing is recorded then).
bool StartRecording(std::unique_ptr<TReplayWriter> out, const TReplayHeader& header);
// The same to a file by name; false with the reason logged.
bool StartRecording(const std::string& fileName, const TReplayHeader& header);
// Plays `replay` from now on: window keys are ignored (other window events
// still work), the recorded changes are applied frame by frame, and checks
// are compared. A divergence writes an error line and calls the failure
// handler, which by default ends the process with exit code 4. A replay
// without any checks is a bare key script: nothing is compared.
//
// The replay ends at its frame total, or 60 frames after its last record
// when that comes first (no more than what the file holds is played). When
// the program still asks for frames then, the replay has run out: the run-out
// handler is called when there is one (a timedemo ends the program there);
// otherwise the playback ends and the keyboard is the player's again.
//
// With `out` the keys are written there again with the checks of this run,
// up to the frame where the program stopped asking (a script may run longer
// than the game); it takes its file's place only when the playback ends well.
void StartPlayback(TReplay replay, std::unique_ptr<TReplayWriter> out = nullptr);
void StartPlayback(TReplay replay, const std::string& recordFile);
// Puts a recording in its file's place (true when written); ends a playback
// (false when it ended before its last frame or its recording could not be
// written). Without a session, true.
bool StopReplay();
// The session cut short by the end of the process (a closed window, a
// termination request, a divergence): a recording still takes its file's
// place; a playback's new recording is dropped and its file left alone.
void StopReplayAtExit();
// Called instead of handing the keyboard back when a playback runs out;
// nullptr removes it.
void SetReplayRunOutHandler(std::function<void()> handler);
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
