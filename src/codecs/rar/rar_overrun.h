// When a RAR 1.5-4 stream has run dry.  The RAR decoders read a little
// into the zeros past the end of a member's data without harm, so the rule
// is looser than the shared reader's overran() (any bit past the end),
// which the LHA decoders use: more than four whole bytes past the end, or
// a source that failed, means the data is corrupt or cut short.
#pragma once
#include "codecs/lz/msb_bit_reader.h"

namespace qvo::codecs::rar {

inline bool overrun(const lz::MsbBitReader &in)
{
    return in.readFailed() || in.bytesPastEnd() > 4;
}

} // namespace qvo::codecs::rar
