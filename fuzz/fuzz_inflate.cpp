// The program's inflation against zlib's own: same verdict on every input
// (accept or reject) and, when accepted, the same bytes.
#include <zlib.h>

#include "CodingUnit.h"
#include "FuzzSupport.h"
#include "MyZStreamUnit.h"

namespace {

// zlib's verdict: the stream ends properly within the input and inflates to at
// most the program's limit.
bool ZlibInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  uint8_t piece[16384];
  int rc = Z_OK;
  bool ok = false;
  for (;;) {
    z.next_out = piece;
    z.avail_out = sizeof piece;
    rc = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), piece, piece + (sizeof piece - z.avail_out));
    if (static_cast<int64_t>(out.size()) > kMaxDecodedSize) break;
    if (rc == Z_STREAM_END) {
      ok = true;
      break;
    }
    if (rc != Z_OK) break;  // data error, or input used up (Z_BUF_ERROR)
  }
  inflateEnd(&z);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  std::vector<uint8_t> want;
  const bool zlibOk = ZlibInflate(data, size, want);
  auto in = fuzz::StreamOf(data, size);
  TMemoryStream out;
  const bool ours = ZInflate(*in, out);
  if (ours != zlibOk) fuzz::Fail(ours ? "accepts what zlib rejects" : "rejects what zlib accepts");
  if (ours && out.Data != want) fuzz::Fail("inflates to other bytes than zlib");
  return 0;
}
