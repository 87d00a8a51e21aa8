#include "ReplayUnit.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>

#include "Logger.h"
#include "SystemUnit.h"
#include "ZR_SDL.h"

namespace {

constexpr char kMagic[8] = {'V', 'G', 'R', 'R', 'E', 'P', 'L', 'Y'};
constexpr uint32_t kCheckEvery = 60;
constexpr std::size_t kMaxVersionLength = 64;

class TWriter {
 public:
  std::vector<uint8_t> Bytes;
  void U8(uint8_t v) { Bytes.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
};

// Reads from a bounded buffer; every read says whether the bytes were there.
class TReader {
 public:
  TReader(const uint8_t* data, std::size_t size) : Data_(data), Size_(size) {}
  bool U8(uint8_t& v) {
    if (Pos_ + 1 > Size_) return false;
    v = Data_[Pos_++];
    return true;
  }
  bool U16(uint16_t& v) {
    if (Pos_ + 2 > Size_) return false;
    v = static_cast<uint16_t>(Data_[Pos_] | (Data_[Pos_ + 1] << 8));
    Pos_ += 2;
    return true;
  }
  bool U32(uint32_t& v) {
    if (Pos_ + 4 > Size_) return false;
    v = static_cast<uint32_t>(Data_[Pos_]) | (static_cast<uint32_t>(Data_[Pos_ + 1]) << 8) |
        (static_cast<uint32_t>(Data_[Pos_ + 2]) << 16) | (static_cast<uint32_t>(Data_[Pos_ + 3]) << 24);
    Pos_ += 4;
    return true;
  }
  bool Bytes(std::size_t n, std::string& out) {
    if (n > Size_ - Pos_) return false;
    out.assign(reinterpret_cast<const char*>(Data_ + Pos_), n);
    Pos_ += n;
    return true;
  }
  std::size_t Pos() const { return Pos_; }
  bool AtEnd() const { return Pos_ == Size_; }

 private:
  const uint8_t* Data_;
  std::size_t Size_;
  std::size_t Pos_ = 0;
};

}  // namespace

std::vector<uint8_t> TReplay::Encode() const {
  TWriter w;
  w.Bytes.assign(std::begin(kMagic), std::end(kMagic));
  w.U16(Header.FormatVersion);
  w.U32(Header.Seed);
  w.U8(Header.StartMap);
  w.U8(Header.Mode ? 1 : 0);
  w.U32(static_cast<uint32_t>(Header.LastLevel));
  const std::string version = Header.ProgramVersion.substr(0, kMaxVersionLength);
  w.U8(static_cast<uint8_t>(version.size()));
  w.Bytes.insert(w.Bytes.end(), version.begin(), version.end());
  // Key and check records merged by frame, keys first within a frame.
  std::size_t k = 0, c = 0;
  while (k < Keys.size() || c < Checks.size()) {
    if (k < Keys.size() && (c == Checks.size() || Keys[k].Frame <= Checks[c].Frame)) {
      w.U8('K');
      w.U32(Keys[k].Frame);
      w.U16(static_cast<uint16_t>(Keys[k].Changes.size()));
      for (const TKeyChange& ch : Keys[k].Changes) w.U16(static_cast<uint16_t>(ch.Sym | (ch.Down ? 0x8000 : 0)));
      ++k;
    } else {
      w.U8('C');
      w.U32(Checks[c].Frame);
      w.U8(TReplayChecks::Parts);
      for (uint32_t v : Checks[c].Checks.Values) w.U32(v);
      ++c;
    }
  }
  w.U8('E');
  w.U32(FrameTotal);
  return std::move(w.Bytes);
}

bool TReplay::Decode(const uint8_t* data, std::size_t size, std::string& error) {
  *this = TReplay();
  auto fail = [&](const std::string& why, std::size_t at) {
    *this = TReplay();
    error = why + " at byte " + std::to_string(at);
    return false;
  };
  if (size > MaxFileSize) return fail("replay too large", 0);
  TReader r(data, size);
  std::string magic;
  if (!r.Bytes(sizeof kMagic, magic) || magic != std::string(kMagic, sizeof kMagic)) {
    return fail("not a replay file", 0);
  }
  TReplayHeader h;
  uint8_t mode = 0, length = 0;
  uint32_t last = 0;
  if (!r.U16(h.FormatVersion)) return fail("truncated header", r.Pos());
  if (h.FormatVersion != TReplayHeader::CurrentVersion) {
    return fail("replay format version " + std::to_string(h.FormatVersion) + " is not supported", r.Pos());
  }
  if (!r.U32(h.Seed) || !r.U8(h.StartMap) || !r.U8(mode) || !r.U32(last) || !r.U8(length)) {
    return fail("truncated header", r.Pos());
  }
  h.Mode = mode != 0;
  h.LastLevel = static_cast<int32_t>(last);
  if (h.StartMap < 1 || h.StartMap > 50) return fail("start map out of range", r.Pos());
  if (mode > 1) return fail("unknown game mode", r.Pos());
  if (h.LastLevel < 1 || h.LastLevel > 26) return fail("last level out of range", r.Pos());
  if (length < 1 || length > kMaxVersionLength) return fail("bad program version length", r.Pos());
  if (!r.Bytes(length, h.ProgramVersion)) return fail("truncated header", r.Pos());
  for (unsigned char ch : h.ProgramVersion) {
    if (ch < 32 || ch > 126) return fail("program version is not text", r.Pos());
  }
  std::vector<TReplayKeys> keys;
  std::vector<TReplayCheck> checks;
  for (;;) {
    const std::size_t at = r.Pos();
    uint8_t tag = 0;
    uint32_t frame = 0;
    if (!r.U8(tag)) return fail("truncated: no end record", at);
    if (!r.U32(frame)) return fail("truncated record", at);
    if (tag == 'E') {
      if (!r.AtEnd()) return fail("data after the end record", r.Pos());
      if ((!keys.empty() && keys.back().Frame >= frame) || (!checks.empty() && checks.back().Frame >= frame)) {
        return fail("record beyond the frame total", at);
      }
      Header = h;
      Keys = std::move(keys);
      Checks = std::move(checks);
      FrameTotal = frame;
      error.clear();
      return true;
    }
    if (tag == 'K') {
      if (!keys.empty() && keys.back().Frame >= frame) return fail("key frames out of order", at);
      uint16_t count = 0;
      if (!r.U16(count)) return fail("truncated record", at);
      if (count < 1 || count > 512) return fail("bad key count", at);
      TReplayKeys k;
      k.Frame = frame;
      k.Changes.reserve(count);
      for (uint16_t i = 0; i < count; ++i) {
        uint16_t v = 0;
        if (!r.U16(v)) return fail("truncated record", at);
        const uint16_t sym = v & 0x7FFF;
        if (sym >= 512) return fail("key symbol out of range", at);
        k.Changes.push_back({sym, (v & 0x8000) != 0});
      }
      keys.push_back(std::move(k));
    } else if (tag == 'C') {
      if (!checks.empty() && checks.back().Frame >= frame) return fail("check frames out of order", at);
      if (frame % kCheckEvery != 0) return fail("check off the 60-frame beat", at);
      uint8_t parts = 0;
      if (!r.U8(parts)) return fail("truncated record", at);
      if (parts != TReplayChecks::Parts) return fail("bad check part count", at);
      TReplayCheck c;
      c.Frame = frame;
      for (uint32_t& v : c.Checks.Values) {
        if (!r.U32(v)) return fail("truncated record", at);
      }
      checks.push_back(c);
    } else {
      return fail("unknown record", at);
    }
  }
}

bool TReplay::Save(const std::string& fileName, std::string& error) const {
  const std::vector<uint8_t> bytes = Encode();
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = "cannot write " + fileName;
    return false;
  }
  return true;
}

bool TReplay::Load(const std::string& fileName, std::string& error) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    *this = TReplay();
    error = "cannot open " + fileName;
    return false;
  }
  std::vector<uint8_t> bytes;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    bytes.insert(bytes.end(), buffer, buffer + in.gcount());
    if (bytes.size() > MaxFileSize) {
      *this = TReplay();
      error = "replay too large";
      return false;
    }
  }
  return Decode(bytes.data(), bytes.size(), error);
}

// ---- Sessions -------------------------------------------------------------

namespace {

enum class TSessionMode { Off, Record, Play };

struct TSession {
  TSessionMode Mode = TSessionMode::Off;
  TReplay Replay;
  std::string FileName;
  uint32_t Frame = 0;
  bool Before[512] = {};
  std::size_t NextKeys = 0;
  std::size_t NextCheck = 0;
  // Playback may record again: the same keys with the checks of this run.
  std::string OutFile;
  std::vector<TReplayCheck> OutChecks;
};

TSession Session;
std::function<TReplayChecks()> ChecksSource;
std::function<void(const std::string&)> FailureHandler;

void Fail(const std::string& line) {
  Log->Error(line, "ReplayUnit, Playback");
  ReportFatal(line);
  // Whatever happens next, the window's keys are the player's again. The
  // hooks stay installed (this runs inside one) but do nothing from now on.
  WindowKeysIgnored = false;
  Session.Mode = TSessionMode::Off;
  if (FailureHandler) {
    FailureHandler(line);
  } else {
    Halt(4);
  }
}

// "score differs", "professor, monsters differ".
std::string Differences(const TReplayChecks& want, const TReplayChecks& got) {
  std::string parts;
  int count = 0;
  for (int i = 0; i < TReplayChecks::Parts; ++i) {
    if (want.Values[i] != got.Values[i]) {
      parts += std::string(count++ == 0 ? "" : ", ") + TReplayChecks::Names[i];
    }
  }
  return parts + (count == 1 ? " differs" : " differ");
}

void RecordBefore() { std::copy(std::begin(KeyState), std::end(KeyState), std::begin(Session.Before)); }

void RecordAfter() {
  if (Session.Mode != TSessionMode::Record) return;
  TReplayKeys k;
  k.Frame = Session.Frame;
  for (uint16_t sym = 0; sym < 512; ++sym) {
    if (KeyState[sym] != Session.Before[sym]) k.Changes.push_back({sym, KeyState[sym]});
  }
  if (!k.Changes.empty()) Session.Replay.Keys.push_back(std::move(k));
  if (ChecksSource && Session.Frame % kCheckEvery == 0) {
    Session.Replay.Checks.push_back({Session.Frame, ChecksSource()});
  }
  Session.Frame += 1;
}

void PlayAfter() {
  if (Session.Mode != TSessionMode::Play) return;
  TReplay& r = Session.Replay;
  if (Session.Frame >= r.FrameTotal) {
    // The recording stopped here, by a closed window or a killed program:
    // the game ends as Escape ends it, and the program with it.
    if (Session.Frame == r.FrameTotal) {
      Log->Status("Replay ran out at frame " + std::to_string(Session.Frame) + "; Escape ends the game",
                  "ReplayUnit, Playback");
    }
    KeyState[SYM_ESCAPE] = true;
    Session.Frame += 1;
    return;
  }
  if (Session.NextKeys < r.Keys.size() && r.Keys[Session.NextKeys].Frame == Session.Frame) {
    for (const TKeyChange& ch : r.Keys[Session.NextKeys].Changes) KeyState[ch.Sym] = ch.Down;
    Session.NextKeys += 1;
  }
  if (!Session.OutFile.empty() && ChecksSource && Session.Frame % kCheckEvery == 0) {
    Session.OutChecks.push_back({Session.Frame, ChecksSource()});
  }
  if (Session.NextCheck < r.Checks.size() && r.Checks[Session.NextCheck].Frame == Session.Frame) {
    const TReplayChecks& want = r.Checks[Session.NextCheck].Checks;
    Session.NextCheck += 1;
    if (!ChecksSource) {
      Fail("Replay diverged at frame " + std::to_string(Session.Frame) + ": no game in play");
      return;
    }
    const TReplayChecks got = ChecksSource();
    if (!(got == want)) {
      Fail("Replay diverged at frame " + std::to_string(Session.Frame) + ": " + Differences(want, got));
      return;
    }
  } else if (!r.Checks.empty() && ChecksSource && Session.Frame % kCheckEvery == 0) {
    // The recording had no game in play here.
    Fail("Replay diverged at frame " + std::to_string(Session.Frame) + ": a game is in play that was not");
    return;
  }
  Session.Frame += 1;
}

}  // namespace

void SetReplayChecksSource(std::function<TReplayChecks()> source) { ChecksSource = std::move(source); }

void StartRecording(const std::string& fileName, const TReplayHeader& header) {
  Session = TSession();
  Session.Mode = TSessionMode::Record;
  Session.FileName = fileName;
  Session.Replay.Header = header;
  SetEventHooks(RecordBefore, RecordAfter);
}

void StartPlayback(TReplay replay, const std::string& recordFile) {
  Session = TSession();
  Session.Mode = TSessionMode::Play;
  Session.Replay = std::move(replay);
  Session.OutFile = recordFile;
  WindowKeysIgnored = true;
  SetEventHooks(nullptr, PlayAfter);
}

bool StopReplay() {
  bool ok = true;
  if (Session.Mode == TSessionMode::Record) {
    Session.Replay.FrameTotal = Session.Frame;
    std::string error;
    ok = Session.Replay.Save(Session.FileName, error);
    if (ok) {
      Log->Status("Replay written: " + std::to_string(Session.Frame) + " frames (" + Session.FileName + ")",
                  "ReplayUnit, StopReplay");
    } else {
      Log->Error(error, "ReplayUnit, StopReplay");
    }
  } else if (Session.Mode == TSessionMode::Play) {
    WindowKeysIgnored = false;
    if (!Session.OutFile.empty()) {
      // A key script re-recorded: the session ends where the game ended.
      TReplay out = Session.Replay;
      std::erase_if(out.Keys, [](const TReplayKeys& k) { return k.Frame >= Session.Frame; });
      out.Checks = std::move(Session.OutChecks);
      out.FrameTotal = Session.Frame;
      std::string error;
      ok = out.Save(Session.OutFile, error);
      if (!ok) Log->Error(error, "ReplayUnit, StopReplay");
    } else if (Session.Frame < Session.Replay.FrameTotal && Session.Replay.Checks.empty()) {
      // A key script (the level solver's, or one written by hand) holds no
      // checksums that could be missed: its keys quit the program, which
      // may take fewer frames than the script allows for.
      Log->Status("Key script played until the program ended: " + std::to_string(Session.Frame) + " of " +
                      std::to_string(Session.Replay.FrameTotal) + " frames",
                  "ReplayUnit, StopReplay");
    } else if (Session.Frame < Session.Replay.FrameTotal) {
      const std::string line = "Replay ended early at frame " + std::to_string(Session.Frame) + " of " +
                               std::to_string(Session.Replay.FrameTotal);
      Log->Error(line, "ReplayUnit, StopReplay");
      ReportFatal(line);
      ok = false;
    } else {
      Log->Status("Replay played to the end: " + std::to_string(Session.Frame) + " frames",
                  "ReplayUnit, StopReplay");
    }
  }
  SetEventHooks(nullptr, nullptr);
  Session.Mode = TSessionMode::Off;
  return ok;
}

uint32_t ReplayFrame() { return Session.Frame; }
bool ReplayActive() { return Session.Mode != TSessionMode::Off; }
void SetReplayFailureHandler(std::function<void(const std::string&)> handler) {
  FailureHandler = std::move(handler);
}

// ---- Timing ---------------------------------------------------------------

TFrameTimer FrameTimer;

double ThreadCpuMicros() {
  timespec t{};
  // Where threads have no CPU clock (a browser), the thread is busy through a
  // timedemo's frames, so its wall clock stands in rather than zeros.
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

void TFrameTimer::FrameStart() {
  if (!Enabled) return;
  Start_ = ThreadCpuMicros();
  PresentTime_ = 0;
}
void TFrameTimer::PresentStart() {
  if (Enabled) PresentStart_ = ThreadCpuMicros();
}
void TFrameTimer::PresentEnd() {
  if (Enabled) PresentTime_ += ThreadCpuMicros() - PresentStart_;
}
void TFrameTimer::FrameEnd() {
  if (!Enabled) return;
  const double whole = ThreadCpuMicros() - Start_;
  Whole.push_back(whole);
  Work.push_back(whole - PresentTime_);
}

std::string TFrameTimer::Report(double wallSeconds) const {
  auto stats = [](std::vector<double> v) {
    if (v.empty()) return std::string("none");
    std::sort(v.begin(), v.end());
    const double median = v[v.size() / 2];
    const double p99 = v[std::min(v.size() - 1, (v.size() * 99) / 100)];
    char text[128];
    std::snprintf(text, sizeof text, "median %.3f ms, p99 %.3f ms, max %.3f ms", median / 1000, p99 / 1000,
                  v.back() / 1000);
    return std::string(text);
  };
  char head[96];
  std::snprintf(head, sizeof head, "Timedemo: %zu frames in %.2f s wall; ", Whole.size(), wallSeconds);
  return std::string(head) + "CPU per frame without the present: " + stats(Work) +
         "; whole frame: " + stats(Whole);
}
