#include "CodingUnit.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "Logger.h"

TByteView ViewFrom(TStream& stream, int64_t from, std::vector<uint8_t>& storage) {
  TByteView v;
  if (auto* mem = dynamic_cast<TMemoryStream*>(&stream)) {
    if (from >= 0 && from < mem->Size()) {
      v.Data = mem->Data.data() + from;
      v.Size = static_cast<std::size_t>(mem->Size() - from);
    }
    return v;
  }
  stream.SetPosition(from);
  storage = stream.ReadAll();
  v.Data = storage.data();
  v.Size = storage.size();
  return v;
}

std::vector<uint8_t> ReinterleaveBytes(const uint8_t* data, std::size_t size, int stride) {
  std::vector<uint8_t> out(size);
  if (stride < 1) stride = 1;
  std::size_t in = 0;
  for (std::size_t plane = 0; plane < static_cast<std::size_t>(stride) && in < size; ++plane) {
    for (std::size_t pos = plane; pos < size; pos += static_cast<std::size_t>(stride)) out[pos] = data[in++];
  }
  return out;
}

std::vector<uint8_t> DeltaDecodeBytes(const uint8_t* data, std::size_t size) {
  std::vector<uint8_t> out(size);
  uint8_t prev = 0;
  // Worked through in 4096-byte blocks, as the stored data is laid out.
  for (std::size_t block = 0; block < size; block += 4096) {
    std::size_t end = std::min(size, block + 4096);
    for (std::size_t i = block; i < end; ++i) {
      prev = i == 0 ? data[0] : static_cast<uint8_t>(prev + data[i]);
      out[i] = prev;
    }
  }
  return out;
}

std::vector<uint8_t> MoveToFrontDecodeBytes(const uint8_t* data, std::size_t size) {
  std::vector<uint8_t> out(size);
  uint8_t table[256];
  std::iota(table, table + 256, 0);
  for (std::size_t i = 0; i < size; ++i) {
    uint8_t idx = data[i];
    uint8_t value = table[idx];
    std::memmove(table + 1, table, idx);
    table[0] = value;
    out[i] = value;
  }
  return out;
}

namespace {

template <typename F>
std::unique_ptr<TMemoryStream> Filter(TStream& input, F&& f) {
  std::vector<uint8_t> storage;
  TByteView v = ViewFrom(input, 0, storage);
  auto out = std::make_unique<TMemoryStream>(f(v.Data, v.Size));
  out->SetPosition(0);
  return out;
}

}  // namespace

std::unique_ptr<TMemoryStream> Reinterleave(TStream& input, int stride) {
  return Filter(input, [stride](const uint8_t* d, std::size_t n) { return ReinterleaveBytes(d, n, stride); });
}

std::unique_ptr<TMemoryStream> DeltaDecode(TStream& input) { return Filter(input, DeltaDecodeBytes); }

std::unique_ptr<TMemoryStream> MoveToFrontDecode(TStream& input) { return Filter(input, MoveToFrontDecodeBytes); }

void CodingUnit_Startup() { LogUnitVersion("CodingUnit", "1.07"); }
