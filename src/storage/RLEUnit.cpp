#include "RLEUnit.h"

#include "CodingUnit.h"
#include "Logger.h"

namespace {

const char* const kLoc = "RLEUnit, RLEDecode";

TRLEResult Fail(const std::string& msg) {
  Log->Error(msg, kLoc);
  return TRLEResult::Corrupt;
}

}  // namespace

TRLEResult RLEDecodeBytes(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out, std::size_t& consumed) {
  consumed = 0;
  if (size < 1 || (data[0] != 5 && data[0] != 6)) return TRLEResult::NotRunLength;
  if (size < 5) return Fail("Run-length header cut short!");
  const uint8_t variant = data[0];
  const uint64_t total = static_cast<uint64_t>(data[1]) | (static_cast<uint64_t>(data[2]) << 8) |
                         (static_cast<uint64_t>(data[3]) << 16) | (static_cast<uint64_t>(data[4]) << 24);
  if (total < 5) return Fail("Run-length total " + std::to_string(total) + " is shorter than its header!");
  if (total > size) return Fail("Run-length total " + std::to_string(total) + " runs past the data!");
  std::size_t pos = 5;
  const std::size_t end = static_cast<std::size_t>(total);
  while (pos < end) {
    const uint8_t c = data[pos++];
    if (variant == 5) {
      if (c >= 128) {
        if (pos >= end) return Fail("Run-length packet cut short!");
        out.insert(out.end(), static_cast<std::size_t>(c - 127), data[pos++]);
      } else {
        std::size_t n = static_cast<std::size_t>(c) + 1;
        if (n > end - pos) return Fail("Run-length packet cut short!");
        out.insert(out.end(), data + pos, data + pos + n);
        pos += n;
      }
    } else if (c < 128) {
      out.push_back(c);
    } else {
      if (pos >= end) return Fail("Run-length packet cut short!");
      out.insert(out.end(), static_cast<std::size_t>(data[pos++]) + 1, static_cast<uint8_t>(c - 128));
    }
    if (static_cast<int64_t>(out.size()) > kMaxDecodedSize) return Fail("Run-length data too large!");
  }
  consumed = pos;
  return TRLEResult::Decoded;
}

TRLEResult RLEDecode(TStream& input, TStream& output) {
  const int64_t start = input.Position();
  std::vector<uint8_t> storage;
  TByteView in = ViewFrom(input, start, storage);
  std::vector<uint8_t> out;
  std::size_t consumed = 0;
  TRLEResult r = RLEDecodeBytes(in.Data, in.Size, out, consumed);
  input.SetPosition(start + static_cast<int64_t>(consumed));
  if (r == TRLEResult::Decoded) output.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
  output.SetPosition(0);
  return r;
}

void RLEUnit_Startup() { LogUnitVersion("RLEUnit", "1.22"); }
