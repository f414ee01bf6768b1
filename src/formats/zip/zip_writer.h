// Writes a ZIP archive entry by entry: local headers and data in order, then
// the central directory and the end records.
//
// Names go out in UTF-8 with flag bit 11 (unless the caller gives them in
// CP932, see EntryMeta::utf8Name), times both as DOS date/time (local
// time) and in the extended-timestamp extra field, permissions and file type
// in the Unix half of the external attributes (made-by Unix), so that folders
// and symbolic links come back as what they were.  ZIP64 fields are written
// exactly where a value does not fit its classic field.
//
// Output is buffered; the writer never seeks except to patch the local header
// of a member whose sizes were not known before its data (beginEntry()).
// Every call answers Ok, TooLarge (a name over 64 KiB, sizes beyond what
// the entry's header reserved), WriteError, or Internal for a call out of
// order; after a failure every call fails the same way.
#pragma once
#include "base/seekable_output.h"
#include "create/archive_writer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvo::formats::zip {

struct EntryMeta {
    enum class Kind { File, Directory, Symlink };
    std::string name;   // '/'-separated, relative; a folder's name without the trailing '/'
    Kind kind = Kind::File;
    int64_t mtimeSec = 0; // seconds since 1970, UTC
    uint32_t mode = 0644; // permission bits (07777)
    // False: `name` is in a legacy code page (CP932), stored without flag
    // bit 11, as the tools that read only such names expect.
    bool utf8Name = true;
};

struct DataInfo {
    uint16_t method = 0; // kMethodStore or kMethodDeflate
    uint32_t crc = 0;    // CRC-32 of the uncompressed data
    uint64_t compressedSize = 0;
    uint64_t size = 0;
};

// Where ZIP64 starts.  Tests lower the thresholds to exercise the ZIP64
// records with small archives; real archives use the format's limits.
struct Zip64Thresholds {
    uint64_t value = 0xFFFFFFFFu; // sizes and offsets at or above need ZIP64
    uint64_t count = 0xFFFFu;     // entry counts at or above need ZIP64
};

class ZipWriter {
public:
    explicit ZipWriter(base::SeekableOutput &out, Zip64Thresholds thresholds = {});

    using Status = create::WriteStatus;

    // An entry whose data is complete: header and data in one go.  Folders
    // and links pass their (empty or target) data the same way.
    // `flags` adds method-specific general-purpose bits (deflateFlags()).
    Status addEntry(const EntryMeta &meta, const DataInfo &info, std::span<const uint8_t> data,
                    uint16_t flags = 0);

    // An entry written piece by piece.  `maxSize` and `maxCompressedSize`
    // bound what endEntry() may report: they decide whether the local header
    // reserves ZIP64 sizes.  endEntry() patches CRC and sizes into it.
    Status beginEntry(const EntryMeta &meta, uint16_t method, uint16_t flags, uint64_t maxSize,
                      uint64_t maxCompressedSize);
    Status appendData(std::span<const uint8_t> data);
    Status endEntry(const DataInfo &info);

    // Writes the central directory and the end records; no entry may follow.
    Status finish();

    // General-purpose flags for deflated data made at an Info-ZIP level (1-9).
    static uint16_t deflateFlags(int level);

    uint64_t entryCount() const { return count_; }

private:
    struct Pending {
        EntryMeta meta;
        uint16_t method = 0;
        uint16_t flags = 0;
        uint64_t headerOffset = 0;
        bool zip64Local = false;
    };

    Status writeLocalHeader(const Pending &p, const DataInfo &info, bool zip64Local);
    void addCentralRecord(const Pending &p, const DataInfo &info);
    Status put(const void *data, size_t size);
    Status flush();
    // Remembers the first failure and answers it.
    Status fail(Status status);

    base::SeekableOutput &out_;
    Zip64Thresholds limits_;
    std::vector<uint8_t> buffer_;
    uint64_t offset_ = 0;   // logical end of the archive written so far
    uint64_t flushed_ = 0;  // bytes handed to out_
    std::vector<uint8_t> central_;
    uint64_t count_ = 0;
    Pending current_;
    uint64_t currentData_ = 0;
    bool inEntry_ = false;
    Status failed_ = Status::Ok;
};

// Encodes the modification time as MS-DOS date (high 16 bits) and time (low
// 16 bits) in local time, rounded up to the even second as Info-ZIP does and
// clamped to the years 1980-2107.
uint32_t dosDateTime(int64_t unixSeconds);

} // namespace qvo::formats::zip
