#include "Archive.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>

#include <zlib.h>

#include "ArchiveEncoders.h"
#include "Logger.h"
#include "MAD4MidLevelUnit.h"
#include "ToolFiles.h"
#include "ToolOptions.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

namespace vgrdata {

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "usage: vgrdata archive <subcommand> ...\n"
    "  create ARCHIVE                     a fresh, empty archive\n"
    "  add ARCHIVE NAME FILE [--method auto|raw|0xMM]\n"
    "                                     store FILE as NAME (replaces a member of that name);\n"
    "                                     auto keeps the smallest form, and MP3 music plain\n"
    "  link ARCHIVE NAME TARGET           NAME opens the member TARGET\n"
    "  version ARCHIVE TEXT1 TEXT2        set the version record\n"
    "  remove ARCHIVE NAME                free the member's space\n"
    "  list ARCHIVE                       name, chunk type, stored size, method\n"
    "  extract ARCHIVE NAME OUT           write the member, decoded, to OUT\n"
    "  pack ARCHIVE FOLDER                a fresh archive of every file of FOLDER (method auto)\n"
    "  check ARCHIVE                      walk every chunk and decode every member\n"
    "Stored names separate folders with \"\\\" (font\\hamp.zrr, as pack stores them); link,\n"
    "remove and extract also find a member written with \"/\" (font/hamp.zrr).\n";

std::string Hex2(uint8_t v) {
  std::ostringstream s;
  s << "0x" << std::hex << std::uppercase << std::setw(2) << std::setfill('0') << static_cast<int>(v);
  return s.str();
}

void PutShortString(TBytes& out, const std::string& s) {
  out.push_back(static_cast<uint8_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

// A path as the archive writes it: "\" between folders, as the game's data
// names them ("font\hamp.zrr").
std::string WithArchiveSeparators(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// The member a command line names: the name as written, or else the one
// with "\" where it has "/", so that a path written the way the shell writes
// it finds what pack stored.
std::string StoredName(const TMAD4MidLevel& archive, const std::string& asked) {
  return archive.FileExists(asked) ? asked : WithArchiveSeparators(asked);
}

// Why no file can be created at `file`: its folder is missing or not
// writable, or else the disk is full.
std::string FolderProblem(const std::string& file) {
  const fs::path parent = fs::path(file).parent_path();
  const std::string folder = parent.empty() ? "." : parent.string();
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return "folder " + folder + ": " + std::strerror(errno);
  return "the disk is full or refuses the write";
}

// An archive mounted for one command; unmounted (trailer and header
// rewritten, free space merged) when it goes away.
class TSession {
 public:
  // `shown` is the name the user gave, when `file` is a temporary beside it.
  bool OpenForWriting(const std::string& file, std::ostream& err, const std::string& shown = {}) {
    const std::string& named = shown.empty() ? file : shown;
    struct stat st {};
    const bool existed = ::lstat(file.c_str(), &st) == 0;
    if (existed) RequireInputFile(file);
    RemoveStaleTemporaries(shown.empty() ? file : shown, ".tmp");
    Archive.Mount(file, false);
    if (!Archive.Mounted) {
      if (existed)
        err << "vgrdata archive: " << named << " is not an archive\n";
      else
        err << "vgrdata archive: cannot create " << named << " (" << FolderProblem(file) << ")\n";
      return false;
    }
    if (Archive.ReadOnly()) {
      err << "vgrdata archive: cannot write " << file
          << (Archive.Damaged() ? " (its chunks are damaged)\n" : " (read-only, or in use by another process)\n");
      return false;
    }
    return true;
  }
  bool OpenForReading(const std::string& file, std::ostream& err) {
    // Mounting creates missing archives; reading one must not.
    RequireInputFile(file);
    Archive.Mount(file, true);
    if (!Archive.Mounted) {
      err << "vgrdata archive: " << file << " is not an archive\n";
      return false;
    }
    return true;
  }
  TMAD4MidLevel Archive;
};

struct TEncoded {
  uint32_t FourCC;
  TBytes Body;  // behind the name
  std::string Method;
};

// Large members that a quick zlib pass cannot shrink by 2 %, neither as they
// are nor after delta filtering (MP3 music, already packed data), are kept as
// plain copies without trying all 56 methods, which takes seconds per
// megabyte.
bool LooksIncompressible(const TBytes& data) {
  if (data.size() < (256u << 10)) return false;
  auto shrinks = [&](const TBytes& d) {
    uLongf size = compressBound(static_cast<uLong>(d.size()));
    TBytes out(size);
    return compress2(out.data(), &size, d.data(), static_cast<uLong>(d.size()), 1) == Z_OK &&
           size < d.size() - d.size() / 50;
  };
  return !shrinks(data) && !shrinks(DeltaEncode(data));
}

bool IsStreamedMusic(const std::string& name) {
  return name.size() > 4 && UpperCase(name.substr(name.size() - 4)) == ".MP3";
}

// "auto" keeps the smallest of a plain copy and every meaningful method; a
// plain copy wins ties, so the game can stream it straight from the file.
std::optional<TEncoded> Encode(const std::string& name, const TBytes& data, const std::string& method,
                               std::ostream& err) {
  if (method == "raw") return TEncoded{kFourCC_RAWD, data, "raw"};
  if (method == "auto") {
    TEncoded best{kFourCC_RAWD, data, "raw"};
    // The game streams stored MP3 music straight out of the archive file,
    // which only works for plain copies; a compressed one is held in memory.
    if (IsStreamedMusic(name) || LooksIncompressible(data)) return best;
    for (uint8_t m : MeaningfulMethods()) {
      std::optional<TBytes> c = EncodeContainer(data, m);
      if (c && c->size() < best.Body.size()) best = TEncoded{kFourCC_COMP, std::move(*c), Hex2(m)};
    }
    return best;
  }
  unsigned long value = 256;
  try {
    std::size_t used = 0;
    value = std::stoul(method, &used, 0);
    if (used != method.size()) value = 256;
  } catch (const std::exception&) {
  }
  if (value > 255) {
    err << "vgrdata archive: bad method '" << method << "' (auto, raw or a byte such as 0x40)\n";
    return std::nullopt;
  }
  std::optional<TBytes> c = EncodeContainer(data, static_cast<uint8_t>(value));
  if (!c) {
    err << "vgrdata archive: method " << Hex2(static_cast<uint8_t>(value)) << " cannot store data\n";
    return std::nullopt;
  }
  return TEncoded{kFourCC_COMP, std::move(*c), Hex2(static_cast<uint8_t>(value))};
}

bool ValidName(const std::string& name, std::ostream& err) {
  if (name.empty() || name.size() > 255) {
    err << "vgrdata archive: a stored name has 1 to 255 bytes ('" << name << "')\n";
    return false;
  }
  return true;
}

// The chunks of the members called `name` (letter case ignored, as the
// lookup ignores it).
std::vector<int32_t> ChunksNamed(const TMAD4MidLevel& archive, const std::string& name) {
  std::vector<int32_t> starts;
  for (int i = 0; i < archive.FileCount(); ++i) {
    const TMAD4FileData& f = *archive.GetFileData(i);
    if (UpperCase(f.Name) == UpperCase(name)) starts.push_back(f.ChunkStart);
  }
  return starts;
}

// Stores a member under `name`, replacing every earlier member of that name.
// `shown` names the archive in messages (the target of a temporary). The new
// member is stored before the old ones are freed: an add stopped at any
// moment leaves the old member or the new one, never neither.
bool Store(TMAD4MidLevel& archive, const std::string& name, const TEncoded& enc, std::ostream& err,
           const std::string& shown = {}) {
  const std::vector<int32_t> old = ChunksNamed(archive, name);
  TBytes payload;
  PutShortString(payload, name);
  payload.insert(payload.end(), enc.Body.begin(), enc.Body.end());
  const int64_t grown = static_cast<int64_t>(archive.Stream ? archive.Stream->Size() : 0) + 8 +
                        static_cast<int64_t>(payload.size()) + 12;
  TMemoryStream s(std::move(payload));
  if (archive.StoreFile(enc.FourCC, s) < 0) {
    err << "vgrdata archive: cannot store " << name << " in " << (shown.empty() ? archive.FileName : shown) << " ("
        << (grown > INT32_MAX ? "an archive holds at most 2 GiB" : FolderProblem(archive.FileName)) << ")\n";
    return false;
  }
  for (int32_t start : old) archive.RemoveChunk(start);
  return true;
}

// While an archive is built under a temporary name, TERM, HUP and INT remove
// the temporary before they end the tool as they would have: a stopped pack
// leaves nothing behind. (A KILL cannot be caught: the next pack or edit of
// the archive removes what it left.)
class TTemporaryRemovedOnSignals {
 public:
  explicit TTemporaryRemovedOnSignals(const std::string& temp) {
    // The handler may only call what is safe in a signal: names are copied
    // into fixed buffers beforehand.
    Copy(temp, Temp_);
    Copy(temp + ".new." + std::to_string(::getpid()), Creating_);
    struct sigaction action {};
    action.sa_handler = Remove;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &Old_[i]);
  }
  ~TTemporaryRemovedOnSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &Old_[i], nullptr);
    Temp_[0] = Creating_[0] = '\0';
  }
  TTemporaryRemovedOnSignals(const TTemporaryRemovedOnSignals&) = delete;
  TTemporaryRemovedOnSignals& operator=(const TTemporaryRemovedOnSignals&) = delete;

 private:
  static constexpr std::array<int, 3> kSignals = {SIGTERM, SIGHUP, SIGINT};
  static void Copy(const std::string& from, char (&to)[4096]) {
    const std::size_t n = std::min(from.size(), sizeof to - 1);
    from.copy(to, n);
    to[n] = '\0';
  }
  static void Remove(int signal) {
    if (Temp_[0] != '\0') ::unlink(Temp_);
    if (Creating_[0] != '\0') ::unlink(Creating_);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
  static inline char Temp_[4096] = {};
  static inline char Creating_[4096] = {};
  std::array<struct sigaction, 3> Old_{};
};

// Builds a fresh archive beside `target` and moves it over it. An existing
// target must be a regular file, and its lock is held meanwhile as every
// writing command takes it: an archive the game has open is not replaced.
// The temporary name is the process's own and goes on every failure.
bool ReplaceArchive(const std::string& target, const std::function<bool(TMAD4MidLevel&)>& fill, std::ostream& err) {
  struct TLock {
    int Fd = -1;
    ~TLock() {
      if (Fd >= 0) ::close(Fd);
    }
  } held;
  int& lock = held.Fd;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      err << "vgrdata archive: " << target << " is not a regular file; it is not replaced\n";
      return false;
    }
    lock = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
    if (lock < 0) {
      err << "vgrdata archive: cannot write " << target << ": " << std::strerror(errno) << "\n";
      return false;
    }
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
      err << "vgrdata archive: cannot write " << target << " (in use by another process)\n";
      return false;
    }
  }
  RemoveStaleTemporaries(target, ".tmp");
  const std::string temp = target + ".tmp." + std::to_string(::getpid());
  std::error_code ec;
  fs::remove(temp, ec);
  TTemporaryRemovedOnSignals onSignals(temp);
  TOutputGuard guard(temp);
  bool ok = false;
  {
    TSession s;
    ok = s.OpenForWriting(temp, err, target) && fill(s.Archive);
  }
  if (ok) {
    // Closing rewrote the header and trailer; a disk that filled up then
    // leaves an archive that does not read back, which must not replace
    // the target.
    TMAD4MidLevel written;
    written.Mount(temp, true);
    if (!written.Mounted || written.Damaged()) {
      err << "vgrdata archive: cannot write " << target << " (" << FolderProblem(target) << ")\n";
      ok = false;
    }
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    err << "vgrdata archive: cannot write " << target << ": " << std::strerror(errno) << "\n";
    ok = false;
  }
  if (ok) guard.Keep();
  return ok;
}

int Create(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  if (a.size() != 1) return err << kUsage, 2;
  return ReplaceArchive(a[0], [](TMAD4MidLevel&) { return true; }, err) ? 0 : 1;
}

int Add(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  std::string method = "auto";
  std::vector<std::string> pos;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == "--method" && i + 1 < a.size()) {
      method = a[++i];
    } else {
      pos.push_back(a[i]);
    }
  }
  if (pos.size() != 3) return err << kUsage, 2;
  if (!ValidName(pos[1], err)) return 2;
  TBytes data = ReadInputFile(pos[2]);
  std::optional<TEncoded> enc = Encode(pos[1], data, method, err);
  if (!enc) return 2;
  TSession s;
  if (!s.OpenForWriting(pos[0], err) || !Store(s.Archive, pos[1], *enc, err)) return 1;
  out << pos[1] << ": " << data.size() << " bytes stored in " << enc->Body.size() << " (" << enc->Method << ")\n";
  return 0;
}

int Link(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  if (a.size() != 3) return err << kUsage, 2;
  if (!ValidName(a[1], err)) return 2;
  TSession s;
  if (!s.OpenForWriting(a[0], err)) return 1;
  const TMAD4FileData* target = s.Archive.GetFileData(s.Archive.IndexOfFile(StoredName(s.Archive, a[2])));
  if (!target) {
    err << "vgrdata archive: no member " << a[2] << "\n";
    return 1;
  }
  const TMAD4ChunkData* chunk = s.Archive.GetChunk(s.Archive.IndexOfChunk(target->ChunkStart));
  if (!chunk || (chunk->FourCC != kFourCC_RAWD && chunk->FourCC != kFourCC_COMP)) {
    // The reader follows one step only.
    err << "vgrdata archive: " << a[2] << " is not a stored file\n";
    return 1;
  }
  TBytes body;
  const uint32_t rel = static_cast<uint32_t>(target->ChunkStart - s.Archive.ArchiveStart);
  for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(rel >> (8 * i)));
  if (!Store(s.Archive, a[1], TEncoded{kFourCC_LINK, body, "link"}, err)) return 1;
  return 0;
}

int Version(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  if (a.size() != 3) return err << kUsage, 2;
  if (a[1].size() > 255 || a[2].size() > 255) {
    err << "vgrdata archive: version texts have at most 255 bytes\n";
    return 2;
  }
  TSession s;
  if (!s.OpenForWriting(a[0], err)) return 1;
  const std::vector<int32_t> old = ChunksNamed(s.Archive, kVersionEntryName);
  TBytes payload;
  PutShortString(payload, a[1]);
  PutShortString(payload, a[2]);
  TMemoryStream m(std::move(payload));
  if (s.Archive.StoreFile(kFourCC_FVER, m) < 0) {
    err << "vgrdata archive: cannot store the version record\n";
    return 1;
  }
  for (int32_t start : old) s.Archive.RemoveChunk(start);
  return 0;
}

int Remove(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  if (a.size() != 2) return err << kUsage, 2;
  // Removing from a missing archive must not create it.
  RequireInputFile(a[0]);
  TSession s;
  if (!s.OpenForWriting(a[0], err)) return 1;
  if (!s.Archive.RemoveFile(StoredName(s.Archive, a[1]))) {
    err << "vgrdata archive: no member " << a[1] << "\n";
    return 1;
  }
  return 0;
}

std::string TypeOf(const TMAD4MidLevel& archive, const TMAD4FileData& f) {
  const TMAD4ChunkData* c = archive.GetChunk(archive.IndexOfChunk(f.ChunkStart));
  return c ? FourCCText(c->FourCC) : "?";
}

int List(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  if (a.size() != 1) return err << kUsage, 2;
  TSession s;
  if (!s.OpenForReading(a[0], err)) return 1;
  TMAD4MidLevel& ar = s.Archive;
  for (int i = 0; i < ar.FileCount(); ++i) {
    const TMAD4FileData& f = *ar.GetFileData(i);
    const std::string type = TypeOf(ar, f);
    std::string method = "-";
    if (type == "COMP" && f.DataSize > 0) {
      ar.Stream->SetPosition(f.DataStart);
      method = Hex2(ar.Stream->ReadU8());
    } else if (type == "LINK") {
      method = "-> ?";
      for (int j = 0; j < ar.FileCount(); ++j) {
        if (ar.GetFileData(j)->ChunkStart == f.LinkTarget) {
          method = "-> " + LogEscaped(ar.GetFileData(j)->Name);
          break;
        }
      }
    } else if (type == "FVER") {
      method = LogEscaped(ar.VersionText1) + " / " + LogEscaped(ar.VersionText2);
    }
    // Names are any bytes: control bytes would act on the terminal.
    out << LogEscaped(f.Name) << "\t" << type << "\t" << f.DataSize << "\t" << method << "\n";
  }
  return 0;
}

int Extract(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  if (a.size() != 3) return err << kUsage, 2;
  TSession s;
  if (!s.OpenForReading(a[0], err)) return 1;
  std::unique_ptr<TMemoryStream> m = s.Archive.OpenFile(StoredName(s.Archive, a[1]));
  if (!m) {
    err << "vgrdata archive: cannot open member " << a[1] << "\n";
    return 1;
  }
  WriteOutputFile(a[2], m->Data);
  return 0;
}

int Pack(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  if (a.size() != 2) return err << kUsage, 2;
  std::error_code ec;
  if (!fs::is_directory(a[1], ec)) {
    err << "vgrdata archive: " << a[1] << " is not a folder\n";
    return 1;
  }
  std::vector<std::pair<std::string, fs::path>> files;
  for (auto it = fs::recursive_directory_iterator(a[1], ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    files.emplace_back(WithArchiveSeparators(fs::relative(it->path(), a[1]).generic_string()), it->path());
  }
  if (ec) {
    err << "vgrdata archive: cannot read " << a[1] << ": " << ec.message() << "\n";
    return 1;
  }
  std::sort(files.begin(), files.end());
  // Built beside the target and moved over it at the end: a failed pack
  // never leaves a half-written archive behind.
  uint64_t plain = 0, stored = 0;
  const bool packed = ReplaceArchive(
      a[0],
      [&](TMAD4MidLevel& archive) {
        for (const auto& [name, path] : files) {
          TBytes data;
          if (!ValidName(name, err)) return false;
          data = ReadInputFile(path.string());
          std::optional<TEncoded> enc = Encode(name, data, "auto", err);
          if (!enc || !Store(archive, name, *enc, err, a[0])) return false;
          plain += data.size();
          stored += enc->Body.size();
        }
        return true;
      },
      err);
  if (!packed) return 1;
  out << a[0] << ": " << files.size() << " files, " << plain << " bytes stored in " << stored << "\n";
  return 0;
}

int Check(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  if (a.size() != 1) return err << kUsage, 2;
  TSession s;
  if (!s.OpenForReading(a[0], err)) return 1;
  TMAD4MidLevel& ar = s.Archive;
  int bad = 0;
  if (ar.Damaged()) {
    err << a[0] << ": damaged chunks\n";
    ++bad;
  }
  for (int i = 0; i < ar.FileCount(); ++i) {
    const TMAD4FileData& f = *ar.GetFileData(i);
    if (f.Name == kVersionEntryName) continue;
    if (!ar.OpenFile(f.Name)) {
      err << a[0] << ": cannot decode " << LogEscaped(f.Name) << " (" << TypeOf(ar, f) << ")\n";
      ++bad;
    }
  }
  if (bad > 0) return 1;
  out << a[0] << ": " << ar.ChunkCount() << " chunks, " << ar.FileCount() << " members, all members intact\n";
  return 0;
}

}  // namespace

int ArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  using TSub = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);
  static const std::pair<const char*, TSub> subs[] = {
      {"create", Create}, {"add", Add},   {"link", Link},       {"version", Version}, {"remove", Remove},
      {"list", List},     {"extract", Extract}, {"pack", Pack}, {"check", Check},
  };
  if (args.empty()) return err << kUsage, 2;
  if (args[0] == "--help" || args[0] == "help") return out << kUsage, 0;
  const std::string bad = args[0] == "add" ? UnknownOption(args, 1, {"--method"}) : UnknownOption(args, 1);
  if (!bad.empty()) {
    err << "vgrdata archive: unknown option '" << bad << "'\n" << kUsage;
    return 2;
  }
  for (const auto& [name, run] : subs) {
    if (args[0] == name) return run(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  err << "vgrdata archive: unknown subcommand '" << args[0] << "'\n" << kUsage;
  return 2;
}

}  // namespace vgrdata
