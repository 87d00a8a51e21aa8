#pragma once
// Builds archive bytes by hand for the storage tests, so each test shows the
// exact layout it feeds to the reader.

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace storagetest {

using TBytes = std::vector<uint8_t>;

inline void PutU32(TBytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutTag(TBytes& b, const char* tag) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}

inline uint32_t GetU32(const TBytes& b, std::size_t at) {
  return static_cast<uint32_t>(b.at(at)) | (static_cast<uint32_t>(b.at(at + 1)) << 8) |
         (static_cast<uint32_t>(b.at(at + 2)) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}

inline TBytes Bytes(const std::string& s) { return TBytes(s.begin(), s.end()); }

// A chunk: tag, size of the data, data.
inline TBytes Chunk(const char* tag, const TBytes& data) {
  TBytes b;
  PutTag(b, tag);
  PutU32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

inline TBytes NullChunk(uint32_t size) { return Chunk("NULL", TBytes(size, 0)); }

// A stored-file chunk body: short-string name, then the bytes.
inline TBytes Named(const std::string& name, const TBytes& data) {
  TBytes b;
  b.reserve(1 + name.size() + data.size());
  b.push_back(static_cast<uint8_t>(name.size()));
  for (char c : name) b.push_back(static_cast<uint8_t>(c));
  for (uint8_t c : data) b.push_back(c);
  return b;
}

// "MAD4", the header size, the chunks, and (when asked) the trailer with
// N = file length.
inline TBytes Archive(const std::vector<TBytes>& chunks, bool trailer = true) {
  TBytes b;
  PutTag(b, "MAD4");
  PutU32(b, 0);
  for (const TBytes& c : chunks) b.insert(b.end(), c.begin(), c.end());
  if (trailer) {
    PutTag(b, "ENDS");
    PutU32(b, 4);
    PutU32(b, static_cast<uint32_t>(b.size() + 4));
  }
  const uint32_t size = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[static_cast<std::size_t>(4 + i)] = static_cast<uint8_t>(size >> (8 * i));
  return b;
}

// Bits written as '0' and '1' (other characters ignored), most significant
// bit of each byte first, the last byte padded with zeros.
inline TBytes Bits(const std::string& bits) {
  TBytes out;
  int fill = 0;
  uint8_t byte = 0;
  for (char c : bits) {
    if (c != '0' && c != '1') continue;
    byte = static_cast<uint8_t>((byte << 1) | (c == '1'));
    if (++fill == 8) {
      out.push_back(byte);
      byte = 0;
      fill = 0;
    }
  }
  if (fill) out.push_back(static_cast<uint8_t>(byte << (8 - fill)));
  return out;
}

inline std::string Bits8(uint8_t v) {
  std::string s;
  for (int i = 7; i >= 0; --i) s += ((v >> i) & 1) ? '1' : '0';
  return s;
}

inline bool AnyLineContains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& l : lines) {
    if (l.find(text) != std::string::npos) return true;
  }
  return false;
}

inline int CountLinesContaining(const std::vector<std::string>& lines, const std::string& text) {
  int n = 0;
  for (const std::string& l : lines) n += l.find(text) != std::string::npos;
  return n;
}

}  // namespace storagetest
