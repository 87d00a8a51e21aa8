#pragma once
// The program's one stream type (memory and file streams over it) and the
// helpers that turn data names into file names. Everything in storage and
// above reads through these; the lookup that finds a data file by name sits
// on top of the archive, in ZRStream3.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position, or -1 on failure.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
  // True only when all count bytes were read or written.
  bool ReadBuffer(void* buffer, int64_t count) { return count <= 0 || Read(buffer, count) == count; }
  bool WriteBuffer(const void* buffer, int64_t count) { return count <= 0 || Write(buffer, count) == count; }

  // Little-endian integers; a short read leaves `ok` false and yields 0.
  uint8_t ReadU8(bool* ok = nullptr);
  uint16_t ReadU16(bool* ok = nullptr);
  uint32_t ReadU32(bool* ok = nullptr);
  bool WriteU8(uint8_t v) { return WriteBuffer(&v, 1); }
  bool WriteU16(uint16_t v);
  bool WriteU32(uint32_t v);
  // Everything from the current position to the end.
  std::vector<uint8_t> ReadAll();
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> data) : Data(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(Data.size()); }

  std::vector<uint8_t> Data;

 private:
  int64_t Pos_ = 0;
};

enum TFileMode {
  fmOpenRead,       // existing file, read only
  fmOpenReadWrite,  // existing file, read and write
  fmCreate,         // created or truncated, read and write
};

class TFileStream : public TStream {
 public:
  // Check IsOpen() afterwards; a stream that failed to open reads nothing.
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  bool IsOpen() const { return Fd_ >= 0; }
  int Handle() const { return Fd_; }
  const std::string& FileName() const { return FileName_; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // One query of the file instead of three seeks: text readers ask for the
  // size at every line.
  int64_t Size() override;
  // Cuts or extends the file to the current position.
  bool Truncate();
  // Pushes written data to the disk.
  bool Flush();

 private:
  int Fd_ = -1;
  std::string FileName_;
};

bool FileExists(const std::string& fileName);

// A file is written whole under a temporary name beside it, FILE + tag + "."
// + the writer's process id, and then renamed or linked over it. A writer that
// was killed leaves its temporary behind: this removes those of FILE whose
// process no longer runs (and FILE + tag itself), never one of a writer that
// still runs.
void RemoveStaleTemporaries(const std::string& fileName, const std::string& tag);

// The file a data name means on disk: "\" is a folder separator there
// ("font\hamp.zrr" is font/hamp.zrr) and leading ones are dropped.
std::string DiskName(const std::string& name);

// "font\hamp.zrr" -> path part "font\", bare name "hamp.zrr".
std::string PathPart(const std::string& name);
std::string BareName(const std::string& name);
// The folder of the running program, with its trailing separator.
std::string ExeFolder();
