#pragma once
// Test seam of the file streams (defined in StreamUnit.cpp), for crash and
// disk-full tests: when set, the hook is called before every write and
// truncation of a file stream with the byte count (0 for a truncation);
// false fails that call as a full disk would. Null, the default, allows all.

#include <cstdint>

using TFileWriteHook = bool (*)(int64_t count);
void SetFileWriteHook(TFileWriteHook hook);
