#include "CodingUnit.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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

namespace {

// Archive members are decoded while the program loads, so the two filters
// that every picture member passes through run on whole vectors: about one
// instruction per 16 bytes instead of several per byte. The plain loops stay
// for other processors and for the tails.

#if defined(__x86_64__) || defined(__i386__)
#define VGR_X86_FILTERS 1
#endif

// Plane p holds output positions p, p + stride, ...; output groups 0 to
// `from` - 1 are written already.
void InterleaveTail(const uint8_t* const* planes, std::size_t size, std::size_t stride, std::size_t from,
                    uint8_t* out) {
  for (std::size_t group = from; group * stride < size; ++group) {
    for (std::size_t p = 0; p < stride && group * stride + p < size; ++p) out[group * stride + p] = planes[p][group];
  }
}

#ifdef VGR_X86_FILTERS

// Two planes: the bytes of 16 groups at a time, unpacked pairwise.
std::size_t Interleave2Sse2(const uint8_t* a, const uint8_t* b, std::size_t groups, uint8_t* out) {
  std::size_t g = 0;
  for (; g + 16 <= groups; g += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + g));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + g));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * g), _mm_unpacklo_epi8(x, y));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * g + 16), _mm_unpackhi_epi8(x, y));
  }
  return g;
}

// Three planes: each 16-byte piece of the output gathers its bytes from the
// three planes by one shuffle each.
__attribute__((target("ssse3"))) std::size_t Interleave3Ssse3(const uint8_t* a, const uint8_t* b,
                                                              const uint8_t* c, std::size_t groups,
                                                              uint8_t* out) {
  // For output byte j of piece q (position 16q + j = 3i + p), plane p's lane
  // i, or -1 (zero) where another plane supplies the byte.
  alignas(16) int8_t masks[3][3][16];
  for (int q = 0; q < 3; ++q) {
    for (int j = 0; j < 16; ++j) {
      const int pos = 16 * q + j;
      for (int p = 0; p < 3; ++p) masks[q][p][j] = static_cast<int8_t>(pos % 3 == p ? pos / 3 : -1);
    }
  }
  __m128i m[3][3];
  for (int q = 0; q < 3; ++q)
    for (int p = 0; p < 3; ++p) m[q][p] = _mm_load_si128(reinterpret_cast<const __m128i*>(masks[q][p]));
  std::size_t g = 0;
  for (; g + 16 <= groups; g += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + g));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + g));
    const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + g));
    for (int q = 0; q < 3; ++q) {
      const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(x, m[q][0]), _mm_shuffle_epi8(y, m[q][1])),
                                     _mm_shuffle_epi8(z, m[q][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * g + 16 * q), v);
    }
  }
  return g;
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

#endif

}  // namespace

std::vector<uint8_t> ReinterleaveBytes(const uint8_t* data, std::size_t size, int stride) {
  std::vector<uint8_t> out(size);
  if (size == 0) return out;
  const std::size_t k = static_cast<std::size_t>(std::max(stride, 1));
  if (k == 1) {
    std::memcpy(out.data(), data, size);
    return out;
  }
  if (k > size) {
    // Every plane holds at most one byte: they follow each other in order.
    std::memcpy(out.data(), data, size);
    return out;
  }
  // Plane p starts after the planes before it; the first size % k planes
  // hold one byte more than the others.
  std::vector<const uint8_t*> planes(k);
  std::size_t at = 0;
  for (std::size_t p = 0; p < k; ++p) {
    planes[p] = data + at;
    at += (size - p + k - 1) / k;
  }
  const std::size_t groups = size / k;  // groups in which every plane has its byte
  std::size_t done = 0;
#ifdef VGR_X86_FILTERS
  if (k == 2) {
    done = Interleave2Sse2(planes[0], planes[1], groups, out.data());
  } else if (k == 3 && HasSsse3()) {
    done = Interleave3Ssse3(planes[0], planes[1], planes[2], groups, out.data());
  }
#endif
  InterleaveTail(planes.data(), size, k, done, out.data());
  return out;
}

std::vector<uint8_t> DeltaDecodeBytes(const uint8_t* data, std::size_t size) {
  std::vector<uint8_t> out(size);
  // The first byte is copied: a running sum that starts at 0.
  std::size_t i = 0;
  uint8_t prev = 0;
#ifdef VGR_X86_FILTERS
  // Prefix sums of 16 bytes in four shifted additions, plus the sum of all
  // bytes before them in every lane. Only that one addition links a piece to
  // the next, so the pieces overlap in the processor.
  __m128i carry = _mm_setzero_si128();
  for (; i + 16 <= size; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 1));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 2));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + i), _mm_add_epi8(x, carry));
    const __m128i hi = _mm_unpackhi_epi8(x, x);
    carry = _mm_add_epi8(carry, _mm_shuffle_epi32(_mm_unpackhi_epi16(hi, hi), 0xFF));
  }
  if (i > 0) prev = out[i - 1];
#endif
  for (; i < size; ++i) {
    prev = static_cast<uint8_t>(prev + data[i]);
    out[i] = prev;
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
