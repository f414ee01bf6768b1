// CRC-16/ARC, the checksum LHA keeps for each member's data and for
// level-2 headers; it lives in base so that header checks below the codecs
// share it.
#pragma once
#include "base/crc16_arc.h"

namespace qvo::codecs::lha {

using base::crc16Update;

} // namespace qvo::codecs::lha
