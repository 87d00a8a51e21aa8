#pragma once
// zlib inflation of compressed members, through zlib's own inflate stream
// (zlib format with its header, not raw deflate).

#include "StreamUnit.h"

// Inflates the zlib stream that starts at the input's current position and
// appends the result to `output`, 32768 bytes at a time. Leaves the input
// behind the zlib stream. False, with an error line, when the data is not a
// complete, valid zlib stream or inflates to more than kMaxDecodedSize.
bool ZInflate(TStream& input, TStream& output);

void MyZStreamUnit_Startup();
void MyZStreamUnit_Shutdown();
