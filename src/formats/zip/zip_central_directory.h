// The central directory of a ZIP archive: found through its end record
// (and the ZIP64 end record when there is one), read whole, and parsed
// record by record.  Shared by the name markers and our own ZIP reader.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace qvo::formats::zip {

struct ZipCentralDirectory {
    bool found = false;         // an end record was found and its directory read
    bool tooLarge = false;      // the directory is larger than we read for this
    bool emptyWithData = false; // no members declared, yet data precedes the end record
    uint64_t count = 0;         // members the end record declares
    // Added to the stored offsets: bytes in front of the archive (a
    // self-extractor's program) shift every offset.
    int64_t shift = 0;
    uint64_t offset = 0;        // where the directory starts in the file
    std::string bytes;          // the directory as stored
};

ZipCentralDirectory loadZipCentralDirectory(std::ifstream &in);

struct ZipCentralRecord {
    uint8_t host = 0; // "version made by", high byte
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint32_t externalAttributes = 0;
    uint64_t localOffset = 0; // as stored, before the shift
    std::string_view name;    // raw bytes
    std::string_view extra;
};

// Parses the record at `at` in `cd` (sizes and offset from the ZIP64 field
// where the classic ones are full).  Returns the position after it, or 0
// when no whole record starts there.
size_t parseZipCentralRecord(std::string_view cd, size_t at, ZipCentralRecord &r);

// The body of the first extra field `id` in `extra`, or empty.
std::string_view findZipExtra(std::string_view extra, uint16_t id);

} // namespace qvo::formats::zip
