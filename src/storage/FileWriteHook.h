#pragma once
// Test seam of the file streams (defined in StreamUnit.cpp), for crash and
// disk-full tests: when set, the hook is called before every write and
// truncation of a file stream with the byte count (0 for a truncation) and
// the bytes by which the call would grow the file (a full disk refuses only
// those); false fails that call as a full disk would. Null, the default,
// allows all.

#include <cstdint>

using TFileWriteHook = bool (*)(int64_t count, int64_t growth);
void SetFileWriteHook(TFileWriteHook hook);
