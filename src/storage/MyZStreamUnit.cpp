#include "MyZStreamUnit.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "CodingUnit.h"
#include "Logger.h"

namespace {

const char* const kLoc = "MyZStreamUnit, ZInflate";
constexpr std::size_t kPiece = 32768;

// The one inflation buffer; made at start-up, or on first use by code that
// runs without the unit start-up (the data tool, tests).
std::unique_ptr<std::vector<uint8_t>> Buffer;

std::vector<uint8_t>& PieceBuffer() {
  if (!Buffer) Buffer = std::make_unique<std::vector<uint8_t>>(kPiece);
  return *Buffer;
}

// The size `in` inflates to, found by inflating it once into the piece
// buffer; 0 when it does not inflate cleanly (the real pass says why).
std::size_t InflatedSize(TByteView in, std::vector<uint8_t>& piece) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return 0;
  std::size_t fed = 0, size = 0;
  int rc = Z_OK;
  for (;;) {
    if (z.avail_in == 0 && fed < in.Size) {
      const std::size_t n = std::min<std::size_t>(in.Size - fed, 1u << 30);
      z.next_in = const_cast<Bytef*>(in.Data + fed);
      z.avail_in = static_cast<uInt>(n);
      fed += n;
    }
    z.next_out = piece.data();
    z.avail_out = static_cast<uInt>(kPiece);
    const uInt before = z.avail_in;
    rc = inflate(&z, Z_NO_FLUSH);
    const std::size_t got = kPiece - z.avail_out;
    size += got;
    // The end, a fault, too much, or no way on: the caller's pass tells which.
    if (rc != Z_OK || (got == 0 && z.avail_in == before) || size > static_cast<std::size_t>(kMaxDecodedSize)) break;
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END ? size : 0;
}

// From this stored size on, the output is sized exactly by a first pass
// (inflating is cheap next to what a member is loaded for): a large member,
// a song or a sound, would otherwise hold room for several times its size
// while the archive's filters copy it, at the program's peak of memory.
constexpr std::size_t kSizedInput = 64u << 10;

}  // namespace

bool ZInflate(TStream& input, TStream& output) {
  const int64_t start = input.Position();
  std::vector<uint8_t> storage;
  TByteView in = ViewFrom(input, start, storage);
  std::vector<uint8_t>& piece = PieceBuffer();

  // Growing the output once up front saves copying it over and over: small
  // members inflate to a few times their stored size, large ones to theirs.
  if (auto* mem = dynamic_cast<TMemoryStream*>(&output)) {
    const std::size_t room = in.Size >= kSizedInput
                                 ? InflatedSize(in, piece)
                                 : std::min<std::size_t>(in.Size * 4, static_cast<std::size_t>(kMaxDecodedSize));
    mem->Data.reserve(mem->Data.size() + room);
  }
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    Log->Error("Cannot start inflation!", kLoc);
    return false;
  }
  std::size_t fed = 0;
  int64_t produced = 0;
  int rc = Z_OK;
  bool ok = true;
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0 && fed < in.Size) {
      // avail_in is 32-bit; feed very large inputs in slices.
      std::size_t n = std::min<std::size_t>(in.Size - fed, 1u << 30);
      z.next_in = const_cast<Bytef*>(in.Data + fed);
      z.avail_in = static_cast<uInt>(n);
      fed += n;
    }
    z.next_out = piece.data();
    z.avail_out = static_cast<uInt>(kPiece);
    rc = inflate(&z, Z_NO_FLUSH);
    std::size_t got = kPiece - z.avail_out;
    if (got > 0) {
      produced += static_cast<int64_t>(got);
      if (produced > kMaxDecodedSize) {
        Log->Error("Inflated data too large!", kLoc);
        ok = false;
        break;
      }
      output.WriteBuffer(piece.data(), static_cast<int64_t>(got));
    }
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && fed >= in.Size) {
      Log->Error("Compressed data ends too early!", kLoc);
      ok = false;
      break;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      Log->Error(std::string("Corrupt compressed data! (") + (z.msg ? z.msg : "zlib error " + std::to_string(rc)) + ")",
                 kLoc);
      ok = false;
      break;
    }
  }
  const int64_t consumed = static_cast<int64_t>(fed - z.avail_in);
  inflateEnd(&z);
  input.SetPosition(start + consumed);
  return ok;
}

void MyZStreamUnit_Startup() {
  LogUnitVersion("MyZStreamUnit", "1.01");
  PieceBuffer();
}

void MyZStreamUnit_Shutdown() { Buffer.reset(); }
