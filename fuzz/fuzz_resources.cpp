// "objects.lst" and "monsters.txt": the first two bytes give the length of
// the objects part, the rest is the monsters file. Data the game cannot run
// without ends the program through Halt, which the harness takes as a
// proper refusal.
#include <memory>

#include "FuzzSupport.h"
#include "SystemUnit.h"
#include "VGRResourceTypesUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OpenDisplay();
  static const bool entered = (fuzz::EnterScratch(), true);
  (void)entered;
  fuzz::TInput in(data, size);
  const size_t split = in.Word();
  const std::vector<uint8_t> objects = in.Bytes(split);
  const std::vector<uint8_t> monsters = in.Rest();
  fuzz::WriteScratch("objects.lst", objects.data(), objects.size());
  fuzz::WriteScratch("monsters.txt", monsters.data(), monsters.size());
  try {
    TResources resources;
    for (int32_t i = 0; i < resources.Count(); ++i) resources.TypeOfNumber(resources.ItemNumber(i));
    resources.RandomInterimSequence();
    resources.RandomTile();
  } catch (const THaltRequest&) {
  }
  return 0;
}
