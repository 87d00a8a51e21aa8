#include "ReplayUnit.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>

#include "Logger.h"
#include "StreamUnit.h"
#include "SystemUnit.h"
#include "ZR_SDL.h"

namespace {

constexpr char kMagic[8] = {'V', 'G', 'R', 'R', 'E', 'P', 'L', 'Y'};
constexpr uint32_t kCheckEvery = 60;
// Frames between two writes of a recording.
constexpr uint32_t kFlushEvery = 60;
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

namespace {

void EncodeHeader(TWriter& w, const TReplayHeader& h) {
  w.Bytes.insert(w.Bytes.end(), std::begin(kMagic), std::end(kMagic));
  w.U16(h.FormatVersion);
  w.U32(h.Seed);
  w.U8(h.StartMap);
  w.U8(h.Mode ? 1 : 0);
  w.U32(static_cast<uint32_t>(h.LastLevel));
  const std::string version = h.ProgramVersion.substr(0, kMaxVersionLength);
  w.U8(static_cast<uint8_t>(version.size()));
  w.Bytes.insert(w.Bytes.end(), version.begin(), version.end());
}

void EncodeKeys(TWriter& w, const TReplayKeys& k) {
  w.U8('K');
  w.U32(k.Frame);
  w.U16(static_cast<uint16_t>(k.Changes.size()));
  for (const TKeyChange& ch : k.Changes) w.U16(static_cast<uint16_t>(ch.Sym | (ch.Down ? 0x8000 : 0)));
}

void EncodeCheck(TWriter& w, const TReplayCheck& c) {
  w.U8('C');
  w.U32(c.Frame);
  w.U8(TReplayChecks::Parts);
  for (uint32_t v : c.Checks.Values) w.U32(v);
}

void EncodeEnd(TWriter& w, uint32_t frameTotal) {
  w.U8('E');
  w.U32(frameTotal);
}

constexpr int64_t kEndRecordSize = 5;

}  // namespace

std::vector<uint8_t> TReplay::Encode() const {
  TWriter w;
  EncodeHeader(w, Header);
  // Key and check records merged by frame, keys first within a frame.
  std::size_t k = 0, c = 0;
  while (k < Keys.size() || c < Checks.size()) {
    if (k < Keys.size() && (c == Checks.size() || Keys[k].Frame <= Checks[c].Frame)) {
      EncodeKeys(w, Keys[k++]);
    } else {
      EncodeCheck(w, Checks[c++]);
    }
  }
  EncodeEnd(w, FrameTotal);
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
  if (h.FormatVersion < 1 || h.FormatVersion > TReplayHeader::CurrentVersion) {
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
  *this = TReplay();
  // Opened without waiting: a pipe with no writer would hold the open for
  // ever, and a device or a pipe is no replay anyway.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + fileName;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = S_ISDIR(st.st_mode) ? "it is a folder" : "not a regular file";
    return false;
  }
  if (st.st_size > static_cast<off_t>(MaxFileSize)) {
    ::close(fd);
    error = "replay too large";
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
    if (bytes.size() > MaxFileSize) {
      ::close(fd);
      error = "replay too large";
      return false;
    }
  }
  ::close(fd);
  return Decode(bytes.data(), bytes.size(), error);
}

// ---- Writing a recording --------------------------------------------------

TReplayWriter::TReplayWriter() = default;
TReplayWriter::~TReplayWriter() = default;

bool TReplayWriter::Open(const std::string& fileName, std::string& error) {
  FileName_ = fileName;
  TempName_ = fileName + ".part";
  auto refuse = [&](const std::string& why) {
    error = "cannot record to " + fileName + ": " + why;
    Stream_.reset();
    return false;
  };
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0) {
    // Renamed over, a folder would refuse and a device would be replaced.
    if (S_ISDIR(st.st_mode)) return refuse("it is a folder");
    if (!S_ISREG(st.st_mode)) return refuse("it is not a regular file");
  }
  int fd = ::open(TempName_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0 && errno == EEXIST) {
    // Left by an earlier session: one still recording holds its lock; one
    // cut off by a kill holds its frames, which are the player's to keep.
    fd = ::open(TempName_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return refuse("another copy of the game is recording to it");
    }
    struct stat part {};
    const bool empty = fd >= 0 && ::fstat(fd, &part) == 0 && part.st_size == 0;
    TReplay earlier;
    std::string why;
    if (fd >= 0 && !empty) {
      // Only a recording of no frames at all may go: it holds nothing.
      const bool replay = earlier.Load(TempName_, why);
      if (!replay || earlier.FrameTotal > 0) {
        ::close(fd);
        return refuse(TempName_ + (replay ? " holds a recording cut short earlier" : " is in the way") +
                      "; move or remove it first");
      }
    }
    if (fd >= 0 && ::ftruncate(fd, 0) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) return refuse(std::string(std::strerror(errno)) + " (" + TempName_ + ")");
  ::close(fd);
  // Written through the program's file stream, so that the crash and
  // full-disk tests see every write; its lock tells other copies.
  Stream_ = std::make_unique<TFileStream>(TempName_, fmOpenReadWrite);
  if (!Stream_->IsOpen()) return refuse(std::string(std::strerror(errno)) + " (" + TempName_ + ")");
  ::flock(Stream_->Handle(), LOCK_EX | LOCK_NB);
  return true;
}

bool TReplayWriter::Write(const std::vector<uint8_t>& bytes) {
  if (!Stream_ || Failed_) return false;
  errno = 0;
  const int64_t at = Length_ - (Begun_ ? kEndRecordSize : 0);
  bool ok = Stream_->Seek(at, soBeginning) == at &&
            Stream_->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  if (ok) {
    Length_ = at + static_cast<int64_t>(bytes.size());
    return true;
  }
  Error_ = errno != 0 ? std::strerror(errno) : "the disk refused the write";
  Failed_ = true;
  // Back to the last whole replay: the old length, and the old end record
  // over whatever part of the new bytes went in. Neither grows the file, so
  // a full disk takes them.
  if (Begun_) {
    TWriter end;
    EncodeEnd(end, FramesWritten_);
    Stream_->Seek(Length_, soBeginning);
    Stream_->Truncate();
    Stream_->Seek(Length_ - kEndRecordSize, soBeginning);
    Stream_->WriteBuffer(end.Bytes.data(), kEndRecordSize);
  } else {
    Stream_->Seek(0, soBeginning);
    Stream_->Truncate();
  }
  return false;
}

bool TReplayWriter::Begin(const TReplayHeader& header) {
  TWriter w;
  EncodeHeader(w, header);
  EncodeEnd(w, 0);
  if (!Write(w.Bytes)) return false;
  Begun_ = true;
  FramesWritten_ = 0;
  return true;
}

void TReplayWriter::Add(const TReplayKeys& keys) {
  if (Failed_) return;
  TWriter w;
  w.Bytes = std::move(Pending_);
  EncodeKeys(w, keys);
  Pending_ = std::move(w.Bytes);
}

void TReplayWriter::Add(const TReplayCheck& check) {
  if (Failed_) return;
  TWriter w;
  w.Bytes = std::move(Pending_);
  EncodeCheck(w, check);
  Pending_ = std::move(w.Bytes);
}

bool TReplayWriter::Flush(uint32_t frameTotal) {
  if (!Begun_ || Failed_) return false;
  TWriter w;
  w.Bytes = std::move(Pending_);
  Pending_.clear();
  EncodeEnd(w, frameTotal);
  if (!Write(w.Bytes)) return false;
  FramesWritten_ = frameTotal;
  return true;
}

bool TReplayWriter::Commit(uint32_t frameTotal) {
  if (!Flush(frameTotal)) return false;
  // On the disk before the name points at it: a power cut after the rename
  // must not leave an empty file under the old name.
  if (!Stream_->Flush()) {
    Error_ = std::strerror(errno);
    Failed_ = true;
    return false;
  }
  if (::rename(TempName_.c_str(), FileName_.c_str()) != 0) {
    Error_ = std::strerror(errno);
    Failed_ = true;
    return false;
  }
  Stream_.reset();
  return true;
}

void TReplayWriter::Abandon() {
  if (!Stream_) return;
  Stream_.reset();
  ::unlink(TempName_.c_str());
}

// ---- Sessions -------------------------------------------------------------

namespace {

enum class TSessionMode { Off, Record, Play };

struct TSession {
  TSessionMode Mode = TSessionMode::Off;
  TReplay Replay;
  uint32_t Frame = 0;
  // Where a playback ends: the frame total, or earlier when the file holds
  // nothing more.
  uint32_t End = 0;
  bool Before[512] = {};
  std::size_t NextKeys = 0;
  std::size_t NextCheck = 0;
  // The recording, or a playback's new recording of the same keys.
  std::unique_ptr<TReplayWriter> Out;
  bool OutFailureTold = false;
};

TSession Session;
std::function<TReplayChecks()> ChecksSource;
std::function<void(const std::string&)> FailureHandler;
std::function<void()> RunOutHandler;

// A recording that cannot be written is told at once: the player may not
// see the end of the session.
void TellOutFailure() {
  if (Session.OutFailureTold || !Session.Out) return;
  Session.OutFailureTold = true;
  const TReplayWriter& out = *Session.Out;
  std::string line = "cannot write the recording " + out.FileName() + ": " + out.Error() + "; it stops at frame " +
                     std::to_string(Session.Frame);
  line += out.FramesWritten() > 0 ? " (" + out.TempName() + " holds the frames before " +
                                        std::to_string(out.FramesWritten()) + ", " + out.FileName() +
                                        " is left as it was)"
                                  : " (" + out.FileName() + " is left as it was)";
  Log->Error(line, "ReplayUnit, Recording");
  ReportFatal(line);
  // Nothing of the session is in it: no use keeping an empty temporary.
  if (out.FramesWritten() == 0) Session.Out->Abandon();
}

void FlushOut() {
  if (!Session.Out || Session.Out->Failed()) return;
  if (!Session.Out->Flush(Session.Frame)) TellOutFailure();
}

// True when the recording took its file's place.
bool CommitOut() {
  if (!Session.Out) return true;
  bool ok = !Session.Out->Failed() && Session.Out->Commit(Session.Frame);
  if (ok) {
    Log->Status("Replay written: " + std::to_string(Session.Frame) + " frames (" + Session.Out->FileName() + ")",
                "ReplayUnit, StopReplay");
  } else {
    TellOutFailure();
  }
  Session.Out.reset();
  return ok;
}

void AbandonOut(const std::string& why) {
  if (!Session.Out) return;
  Log->Status(why + ": " + Session.Out->FileName() + " is left as it was", "ReplayUnit, StopReplay");
  Session.Out->Abandon();
  Session.Out.reset();
}

void Fail(const std::string& line) {
  Log->Error(line, "ReplayUnit, Playback");
  ReportFatal(line);
  // Whatever happens next, the window's keys are the player's again. The
  // hooks stay installed (this runs inside one) but do nothing from now on.
  WindowKeysIgnored = false;
  Session.Mode = TSessionMode::Off;
  AbandonOut("Replay diverged");
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
  if (!k.Changes.empty()) Session.Out->Add(k);
  if (ChecksSource && Session.Frame % kCheckEvery == 0) Session.Out->Add({Session.Frame, ChecksSource()});
  Session.Frame += 1;
  if (Session.Frame % kFlushEvery == 0) FlushOut();
}

// The end of a playback that went well: its new recording takes its file's
// place. False when that could not be written.
bool FinishPlayback() {
  WindowKeysIgnored = false;
  Session.Mode = TSessionMode::Off;
  return CommitOut();
}

void PlayAfter() {
  if (Session.Mode != TSessionMode::Play) return;
  TReplay& r = Session.Replay;
  if (Session.Frame >= Session.End) {
    Log->Status("Replay ran out at frame " + std::to_string(Session.Frame), "ReplayUnit, Playback");
    if (RunOutHandler) {
      RunOutHandler();
      return;
    }
    // The keys it held are let go, and the window's keys count again.
    ClearKeys();
    FinishPlayback();
    Log->Status("The keyboard is the player's again", "ReplayUnit, Playback");
    return;
  }
  if (Session.NextKeys < r.Keys.size() && r.Keys[Session.NextKeys].Frame == Session.Frame) {
    const TReplayKeys& keys = r.Keys[Session.NextKeys];
    for (const TKeyChange& ch : keys.Changes) KeyState[ch.Sym] = ch.Down;
    if (Session.Out) Session.Out->Add(keys);
    Session.NextKeys += 1;
  }
  if (Session.Out && ChecksSource && Session.Frame % kCheckEvery == 0) {
    Session.Out->Add({Session.Frame, ChecksSource()});
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
  if (Session.Frame % kFlushEvery == 0) FlushOut();
}

// Where a playback ends. A genuine recording holds a check every 60 frames
// of play and ends soon after its last key in the menu; a frame total far
// past its last record (2^32 - 1 with no keys at all) would keep the program
// busy for weeks on frames that hold nothing.
uint32_t PlaybackEnd(const TReplay& r) {
  uint64_t held = 0;
  if (!r.Keys.empty()) held = std::max<uint64_t>(held, uint64_t{r.Keys.back().Frame} + 1);
  if (!r.Checks.empty()) held = std::max<uint64_t>(held, uint64_t{r.Checks.back().Frame} + 1);
  return static_cast<uint32_t>(std::min<uint64_t>(r.FrameTotal, held + kCheckEvery));
}

}  // namespace

void SetReplayChecksSource(std::function<TReplayChecks()> source) { ChecksSource = std::move(source); }

bool StartRecording(std::unique_ptr<TReplayWriter> out, const TReplayHeader& header) {
  Session = TSession();
  if (!out || !out->Begin(header)) {
    if (out) {
      const std::string line = "cannot write the recording " + out->FileName() + ": " + out->Error();
      Log->Error(line, "ReplayUnit, StartRecording");
      ReportFatal(line);
      out->Abandon();
    }
    return false;
  }
  Session.Mode = TSessionMode::Record;
  Session.Out = std::move(out);
  SetEventHooks(RecordBefore, RecordAfter);
  return true;
}

bool StartRecording(const std::string& fileName, const TReplayHeader& header) {
  auto out = std::make_unique<TReplayWriter>();
  std::string error;
  if (!out->Open(fileName, error)) {
    Log->Error(error, "ReplayUnit, StartRecording");
    Session = TSession();
    return false;
  }
  return StartRecording(std::move(out), header);
}

void StartPlayback(TReplay replay, std::unique_ptr<TReplayWriter> out) {
  Session = TSession();
  Session.Mode = TSessionMode::Play;
  Session.Replay = std::move(replay);
  Session.End = PlaybackEnd(Session.Replay);
  if (out && (out->Begun() || out->Begin(Session.Replay.Header))) {
    Session.Out = std::move(out);
  } else if (out) {
    Session.Out = std::move(out);
    TellOutFailure();
    Session.Out.reset();
  }
  WindowKeysIgnored = true;
  SetEventHooks(nullptr, PlayAfter);
}

void StartPlayback(TReplay replay, const std::string& recordFile) {
  std::unique_ptr<TReplayWriter> out;
  if (!recordFile.empty()) {
    out = std::make_unique<TReplayWriter>();
    std::string error;
    if (!out->Open(recordFile, error)) {
      Log->Error(error, "ReplayUnit, StartPlayback");
      out.reset();
    }
  }
  StartPlayback(std::move(replay), std::move(out));
}

bool StopReplay() {
  bool ok = true;
  if (Session.Mode == TSessionMode::Record) {
    ok = CommitOut();
  } else if (Session.Mode == TSessionMode::Play) {
    const uint32_t end = Session.End;
    if (Session.Frame < end && !Session.Replay.Checks.empty()) {
      const std::string line =
          "Replay ended early at frame " + std::to_string(Session.Frame) + " of " + std::to_string(end);
      Log->Error(line, "ReplayUnit, StopReplay");
      ReportFatal(line);
      AbandonOut("Replay ended early");
      ok = false;
    } else if (Session.Frame < end) {
      // A key script (the level solver's, or one written by hand) holds no
      // checksums that could be missed: its keys quit the program, which
      // may take fewer frames than the script allows for.
      Log->Status("Key script played until the program ended: " + std::to_string(Session.Frame) + " of " +
                      std::to_string(end) + " frames",
                  "ReplayUnit, StopReplay");
    } else {
      Log->Status("Replay played to the end: " + std::to_string(Session.Frame) + " frames",
                  "ReplayUnit, StopReplay");
    }
    ok = FinishPlayback() && ok;
  } else if (Session.Out) {
    // A recording whose writes failed before its session ended.
    Session.Out.reset();
    ok = false;
  }
  // A recording that failed on the way says so in the exit code.
  if (Session.OutFailureTold) ok = false;
  WindowKeysIgnored = false;
  SetEventHooks(nullptr, nullptr);
  Session.Mode = TSessionMode::Off;
  Session.OutFailureTold = false;
  return ok;
}

void StopReplayAtExit() {
  if (Session.Mode == TSessionMode::Play) {
    if (Session.Frame < Session.End && !Session.Replay.Checks.empty()) {
      const std::string line =
          "Replay ended early at frame " + std::to_string(Session.Frame) + " of " + std::to_string(Session.End);
      Log->Error(line, "ReplayUnit, StopReplay");
      ReportFatal(line);
    }
    AbandonOut("Replay stopped at frame " + std::to_string(Session.Frame));
    Session.Mode = TSessionMode::Off;
  }
  StopReplay();
}

void SetReplayRunOutHandler(std::function<void()> handler) { RunOutHandler = std::move(handler); }

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
