// One ARJ header read from an open file: its basic part, checked by its
// CRC-32, and its extended headers, each checked and skipped but the one
// that describes a Unix link.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::formats::arj {

struct ArjHeader {
    uint8_t version = 0;
    uint8_t hostOs = 0;
    uint8_t flags = 0;
    uint8_t method = 0;
    uint8_t fileType = 0;
    uint32_t modified = 0; // DOS date and time; Unix seconds from Unix hosts
    uint32_t compressedSize = 0;
    uint32_t originalSize = 0; // of this volume's part of the member
    uint32_t crc = 0;          // of this part's data
    uint16_t mode = 0;         // DOS attributes, or Unix mode bits from Unix hosts
    uint8_t firstChapter = 0;  // in the main header: the encryption version
    uint8_t lastChapter = 0;
    uint32_t partOffset = 0; // where a continued part starts in the member
    std::string name;        // as stored
    std::string unixSpecial; // the Unix special file's extended header, less its tag
    uint64_t dataOffset = 0; // behind the extended headers
};

enum class HeaderRead {
    Ok,
    End,       // the header of size 0 that ends an archive
    Damaged,   // no header here, or one that fails its CRC
    Truncated, // the file ends inside the header or its data
};

// Reads the header at `offset` of the open file `fd` of `fileSize` bytes.
// `next` is where the following header starts: behind the data, or behind
// the end header.
HeaderRead readArjHeader(int fd, uint64_t offset, uint64_t fileSize, ArjHeader &out, uint64_t &next);

} // namespace qvo::formats::arj
