// Layout constants of the Microsoft cabinet format (one cabinet, no
// reserved areas, no spanning).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qvo::formats::cab {

// Fixed record sizes: CFHEADER without reserve fields, CFFOLDER without
// per-folder reserve, CFFILE without its name, CFDATA without its payload.
constexpr size_t kHeaderSize = 36;
constexpr size_t kFolderRecordSize = 8;
constexpr size_t kFileRecordFixedSize = 16;
constexpr size_t kDataHeaderSize = 8;

constexpr uint8_t kVersionMinor = 3;
constexpr uint8_t kVersionMajor = 1;

// CFFILE.attribs bits.
constexpr uint16_t kAttribReadOnly = 0x01;
constexpr uint16_t kAttribHidden = 0x02;
constexpr uint16_t kAttribSystem = 0x04;
constexpr uint16_t kAttribArchive = 0x20;
constexpr uint16_t kAttribNameIsUtf8 = 0x80;

// What one cabinet can hold.  Counts are 16-bit; iFolder values from 0xFFFD
// up mark files continued across cabinets, so real folders stay below them.
constexpr uint32_t kMaxFramesPerFolder = 65535;
constexpr uint32_t kMaxFiles = 65535;
constexpr uint32_t kMaxFolders = 0xFFFD;
constexpr uint64_t kMaxCabinetSize = 0xFFFFFFFFu;
// Readers keep names in 256-byte buffers with the terminating zero.
constexpr size_t kMaxNameBytes = 255;

// CFFOLDER.typeCompress values; LZX keeps its window bits in the high byte.
constexpr uint16_t kTypeNone = 0;
constexpr uint16_t kTypeMszip = 1;
constexpr uint16_t kTypeLzx = 3;

} // namespace qvo::formats::cab
