// Tile maps in all four formats (binary bytes, binary words, text, hex text):
// load, read every cell, and save again in each format that can hold it.
#include "FuzzSupport.h"
#include "XMapUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  auto s = fuzz::StreamOf(data, size);
  TXMap map;
  map.Load(*s);
  if (int64_t{map.Width} * map.Height > TXMap::MaxCells) fuzz::Fail("map larger than the limit");
  // A few bytes may declare a map of millions of cells. Loading it is the
  // parser's work and is timed; reading every cell and saving it five times is
  // not, and the savers' paths are the same on small maps. (At 65,536 cells
  // that work took a quarter of a second under the sanitizers.)
  if (int64_t{map.Width} * map.Height > 16384) {
    map.GetPhysicalTile(map.Width - 1, map.Height - 1);
    return 0;
  }
  for (int32_t y = -1; y <= map.Height; ++y)
    for (int32_t x = -1; x <= map.Width; ++x) {
      map.GetLogicalTile(x, y);
      map.GetPhysicalTile(x, y);
    }
  for (char mode : {'B', 'W', 'T', 'X'}) {
    TMemoryStream out;
    map.Save(out, mode);
  }
  // Whatever loaded saves in a format that holds it, and reads back the same.
  TMemoryStream out;
  if (map.Save(out, 'A') == 0) return 0;
  out.SetPosition(0);
  TXMap again;
  again.Load(out);
  if (again.Width != map.Width || again.Height != map.Height) fuzz::Fail("saved map reads back at another size");
  for (int32_t y = 0; y < map.Height; ++y)
    for (int32_t x = 0; x < map.Width; ++x)
      if (again.GetPhysicalTile(x, y) != map.GetPhysicalTile(x, y)) fuzz::Fail("saved map reads back other cells");
  // A level piece is widened by a column and moved one cell right: every
  // cell then sits one column further on, and column 0 is empty.
  again.Grow(again.Width + 1, again.Height);
  if (again.Width != map.Width + 1) return 0;  // at the widest a map can be
  again.RotateCells(1, 0);
  for (int32_t y = 0; y < map.Height; ++y) {
    if (again.GetPhysicalTile(0, y) != 0) fuzz::Fail("moved map has a cell in column 0");
    for (int32_t x = 0; x < map.Width; ++x)
      if (again.GetPhysicalTile(x + 1, y) != map.GetPhysicalTile(x, y)) fuzz::Fail("moved map lost a cell");
  }
  return 0;
}
