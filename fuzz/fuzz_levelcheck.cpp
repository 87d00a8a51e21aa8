// The level checker of the data tool: an object list and a level piece or a
// whole map pack, as a level designer hands them to `vgrdata level check`.
// The first byte picks the piece's name (odd: a construction piece, even: an
// interim one), a 16-bit length the object list, the rest is the piece or
// the pack.
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "LevelCommand.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  fuzz::TInput in(data, size);
  const std::string piece = (in.Byte() & 1) ? "01.mpp" : "02.mpp";
  const std::vector<uint8_t> objects = in.Bytes(in.Word());
  const std::vector<uint8_t> map = in.Rest();
  fuzz::WriteScratch("objects.lst", objects.data(), objects.size());
  fuzz::WriteScratch(piece, map.data(), map.size());
  std::ostringstream out, err;
  const int code = vgrdata::LevelCommand({"check", fuzz::Scratch(piece), "--objects", fuzz::Scratch("objects.lst")},
                                         out, err);
  if (code != 0 && code != 1) fuzz::Fail("level check ended with " + std::to_string(code));
  fuzz::RemoveScratch(piece);
  return 0;
}
