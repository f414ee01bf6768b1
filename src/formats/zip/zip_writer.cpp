#include "formats/zip/zip_writer.h"

#include "base/endian.h"
#include "text/cp932.h"
#include "formats/zip/zip_format.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>

namespace qvo::formats::zip {

namespace {

constexpr size_t kBufferSize = 1 << 20;

// Unix file types in the high half of the external attributes.
constexpr uint32_t kUnixRegular = 0100000;
constexpr uint32_t kUnixDirectory = 0040000;
constexpr uint32_t kUnixSymlink = 0120000;

class Bytes {
public:
    explicit Bytes(std::vector<uint8_t> &v) : v_(v) {}
    void u8(uint8_t x) { v_.push_back(x); }
    void u16(uint64_t x) { base::appendLe16(v_, static_cast<uint16_t>(x)); }
    void u32(uint64_t x) { base::appendLe32(v_, static_cast<uint32_t>(x)); }
    void u64(uint64_t x) { base::appendLe64(v_, x); }
    void text(const std::string &s) { v_.insert(v_.end(), s.begin(), s.end()); }

private:
    std::vector<uint8_t> &v_;
};

std::string storedName(const EntryMeta &m)
{
    return m.kind == EntryMeta::Kind::Directory ? m.name + "/" : m.name;
}

uint16_t nameFlags(const EntryMeta &m)
{
    // Non-ASCII names are UTF-8 on this system; a name that is not (a stray
    // legacy byte sequence) goes out raw without claiming UTF-8.
    return m.utf8Name && !text::isAscii(m.name) && text::isValidUtf8(m.name) ? kFlagUtf8Name : 0;
}

bool hasUnixTime(const EntryMeta &m)
{
    return m.mtimeSec >= INT32_MIN && m.mtimeSec <= INT32_MAX;
}

void timestampExtra(Bytes &b, const EntryMeta &m)
{
    if (!hasUnixTime(m))
        return;
    b.u16(kExtraTimestamp);
    b.u16(5);
    b.u8(kTimestampHasMtime);
    b.u32(static_cast<uint32_t>(static_cast<int32_t>(m.mtimeSec)));
}

uint32_t externalAttributes(const EntryMeta &m)
{
    uint32_t type = kUnixRegular;
    uint32_t dos = 0;
    if (m.kind == EntryMeta::Kind::Directory) {
        type = kUnixDirectory;
        dos |= kDosDirectory;
    } else if (m.kind == EntryMeta::Kind::Symlink) {
        type = kUnixSymlink;
    }
    if (!(m.mode & 0200))
        dos |= kDosReadOnly;
    return ((type | (m.mode & 07777)) << 16) | dos;
}

uint16_t versionNeeded(uint16_t method, bool zip64)
{
    if (zip64)
        return kVersionZip64;
    return method == kMethodDeflate ? kVersionDeflate : kVersionStore;
}

} // namespace

uint32_t dosDateTime(int64_t unixSeconds)
{
    int64_t t = unixSeconds + (unixSeconds & 1); // DOS counts in two-second steps
    time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    if (t != static_cast<int64_t>(tt) || !localtime_r(&tt, &tm))
        return (0u << 25) | (1u << 21) | (1u << 16); // 1980-01-01 00:00:00
    int year = tm.tm_year + 1900;
    if (year < 1980)
        return (1u << 21) | (1u << 16);
    if (year > 2107)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                    (static_cast<uint32_t>(tm.tm_mon + 1) << 5) | static_cast<uint32_t>(tm.tm_mday);
    uint32_t time = (static_cast<uint32_t>(tm.tm_hour) << 11) |
                    (static_cast<uint32_t>(tm.tm_min) << 5) |
                    static_cast<uint32_t>(std::min(tm.tm_sec, 59) / 2);
    return (date << 16) | time;
}

ZipWriter::ZipWriter(base::SeekableOutput &out, Zip64Thresholds thresholds)
    : out_(out), limits_(thresholds)
{
    buffer_.reserve(kBufferSize);
}

uint16_t ZipWriter::deflateFlags(int level)
{
    if (level >= 8)
        return kFlagDeflateMaximum;
    if (level <= 2)
        return kFlagDeflateFast;
    return 0;
}

ZipWriter::Status ZipWriter::fail(Status status)
{
    if (failed_ == Status::Ok)
        failed_ = status;
    return failed_;
}

ZipWriter::Status ZipWriter::flush()
{
    if (!buffer_.empty()) {
        if (!out_.write(buffer_.data(), buffer_.size()))
            return fail(Status::WriteError);
        flushed_ += buffer_.size();
        buffer_.clear();
    }
    return Status::Ok;
}

ZipWriter::Status ZipWriter::put(const void *data, size_t size)
{
    if (failed_ != Status::Ok)
        return failed_;
    if (buffer_.size() + size > kBufferSize && flush() != Status::Ok)
        return failed_;
    if (size >= kBufferSize) {
        if (!out_.write(data, size))
            return fail(Status::WriteError);
        flushed_ += size;
    } else {
        const uint8_t *p = static_cast<const uint8_t *>(data);
        buffer_.insert(buffer_.end(), p, p + size);
    }
    offset_ += size;
    return Status::Ok;
}

ZipWriter::Status ZipWriter::writeLocalHeader(const Pending &p, const DataInfo &info, bool zip64Local)
{
    std::string name = storedName(p.meta);
    if (name.size() > kMax16)
        return fail(Status::TooLarge); // the name length field has 16 bits
    std::vector<uint8_t> extra;
    Bytes e(extra);
    if (zip64Local) {
        // A local ZIP64 field always carries both sizes.
        e.u16(kExtraZip64);
        e.u16(16);
        e.u64(info.size);
        e.u64(info.compressedSize);
    }
    timestampExtra(e, p.meta);

    std::vector<uint8_t> h;
    h.reserve(kLocalHeaderSize + name.size() + extra.size());
    Bytes b(h);
    b.u32(kLocalHeaderSignature);
    b.u16(versionNeeded(p.method, zip64Local));
    b.u16(p.flags);
    b.u16(p.method);
    b.u32(dosDateTime(p.meta.mtimeSec));
    b.u32(info.crc);
    b.u32(zip64Local ? kMax32 : info.compressedSize);
    b.u32(zip64Local ? kMax32 : info.size);
    b.u16(name.size());
    b.u16(extra.size());
    b.text(name);
    h.insert(h.end(), extra.begin(), extra.end());
    return put(h.data(), h.size());
}

void ZipWriter::addCentralRecord(const Pending &p, const DataInfo &info)
{
    bool bigSize = info.size >= limits_.value;
    bool bigCompressed = info.compressedSize >= limits_.value;
    bool bigOffset = p.headerOffset >= limits_.value;
    bool zip64 = bigSize || bigCompressed || bigOffset;

    std::vector<uint8_t> extra;
    Bytes e(extra);
    if (zip64) {
        // Only the values whose classic field overflowed, in this order.
        e.u16(kExtraZip64);
        e.u16(8 * (bigSize + bigCompressed + bigOffset));
        if (bigSize)
            e.u64(info.size);
        if (bigCompressed)
            e.u64(info.compressedSize);
        if (bigOffset)
            e.u64(p.headerOffset);
    }
    timestampExtra(e, p.meta);

    std::string name = storedName(p.meta);
    Bytes b(central_);
    b.u32(kCentralHeaderSignature);
    b.u16(kVersionMadeBy);
    b.u16(versionNeeded(p.method, zip64 || p.zip64Local));
    b.u16(p.flags);
    b.u16(p.method);
    b.u32(dosDateTime(p.meta.mtimeSec));
    b.u32(info.crc);
    b.u32(bigCompressed ? kMax32 : info.compressedSize);
    b.u32(bigSize ? kMax32 : info.size);
    b.u16(name.size());
    b.u16(extra.size());
    b.u16(0); // comment
    b.u16(0); // disk number
    b.u16(0); // internal attributes
    b.u32(externalAttributes(p.meta));
    b.u32(bigOffset ? kMax32 : p.headerOffset);
    b.text(name);
    central_.insert(central_.end(), extra.begin(), extra.end());
    ++count_;
}

ZipWriter::Status ZipWriter::addEntry(const EntryMeta &meta, const DataInfo &info, std::span<const uint8_t> data,
                                      uint16_t flags)
{
    if (failed_ != Status::Ok)
        return failed_;
    if (inEntry_ || data.size() != info.compressedSize)
        return fail(Status::Internal);
    Pending p;
    p.meta = meta;
    p.method = info.method;
    p.flags = nameFlags(meta) | flags;
    p.headerOffset = offset_;
    p.zip64Local = info.size >= limits_.value || info.compressedSize >= limits_.value;
    if (writeLocalHeader(p, info, p.zip64Local) != Status::Ok || put(data.data(), data.size()) != Status::Ok)
        return failed_;
    addCentralRecord(p, info);
    return Status::Ok;
}

ZipWriter::Status ZipWriter::beginEntry(const EntryMeta &meta, uint16_t method, uint16_t flags, uint64_t maxSize,
                                        uint64_t maxCompressedSize)
{
    if (failed_ != Status::Ok)
        return failed_;
    if (inEntry_)
        return fail(Status::Internal);
    current_ = Pending{};
    current_.meta = meta;
    current_.method = method;
    current_.flags = nameFlags(meta) | flags;
    current_.headerOffset = offset_;
    current_.zip64Local = maxSize >= limits_.value || maxCompressedSize >= limits_.value;
    currentData_ = 0;
    inEntry_ = true;
    return writeLocalHeader(current_, DataInfo{method, 0, 0, 0}, current_.zip64Local);
}

ZipWriter::Status ZipWriter::appendData(std::span<const uint8_t> data)
{
    if (!inEntry_)
        return fail(Status::Internal);
    currentData_ += data.size();
    return put(data.data(), data.size());
}

ZipWriter::Status ZipWriter::endEntry(const DataInfo &info)
{
    if (failed_ != Status::Ok)
        return failed_;
    if (!inEntry_ || info.compressedSize != currentData_)
        return fail(Status::Internal);
    inEntry_ = false;
    const Pending &p = current_;
    if (!p.zip64Local && (info.size >= limits_.value || info.compressedSize >= limits_.value))
        return fail(Status::TooLarge);

    uint8_t fields[12];
    base::storeLe32(fields, info.crc);
    base::storeLe32(fields + 4, static_cast<uint32_t>(p.zip64Local ? kMax32 : info.compressedSize));
    base::storeLe32(fields + 8, static_cast<uint32_t>(p.zip64Local ? kMax32 : info.size));
    uint8_t sizes64[16];
    base::storeLe64(sizes64, info.size);
    base::storeLe64(sizes64 + 8, info.compressedSize);
    uint64_t at = p.headerOffset + kLocalCrcOffset;
    uint64_t at64 = p.headerOffset + kLocalHeaderSize + storedName(p.meta).size() + 4;

    auto patch = [&](uint64_t offset, const uint8_t *bytes, size_t n) {
        if (offset >= flushed_) {
            std::memcpy(buffer_.data() + (offset - flushed_), bytes, n);
            return true;
        }
        return out_.writeAt(offset, bytes, n);
    };
    if (!patch(at, fields, sizeof fields) || (p.zip64Local && !patch(at64, sizes64, sizeof sizes64)))
        return fail(Status::WriteError);
    addCentralRecord(p, info);
    return Status::Ok;
}

ZipWriter::Status ZipWriter::finish()
{
    if (failed_ != Status::Ok)
        return failed_;
    if (inEntry_)
        return fail(Status::Internal);
    uint64_t cdOffset = offset_;
    uint64_t cdSize = central_.size();
    if (put(central_.data(), central_.size()) != Status::Ok)
        return failed_;
    std::vector<uint8_t>().swap(central_);

    bool bigCount = count_ >= limits_.count;
    bool bigSize = cdSize >= limits_.value;
    bool bigOffset = cdOffset >= limits_.value;
    std::vector<uint8_t> end;
    Bytes b(end);
    if (bigCount || bigSize || bigOffset) {
        uint64_t zip64EndOffset = offset_;
        b.u32(kZip64EndSignature);
        b.u64(kZip64EndSize - 12); // size of the rest of this record
        b.u16(kVersionMadeBy);
        b.u16(kVersionZip64);
        b.u32(0); // this disk
        b.u32(0); // disk of the central directory
        b.u64(count_);
        b.u64(count_);
        b.u64(cdSize);
        b.u64(cdOffset);
        b.u32(kZip64LocatorSignature);
        b.u32(0);
        b.u64(zip64EndOffset);
        b.u32(1); // total disks
    }
    b.u32(kEndSignature);
    b.u16(0);
    b.u16(0);
    b.u16(bigCount ? kMax16 : count_);
    b.u16(bigCount ? kMax16 : count_);
    b.u32(bigSize ? kMax32 : cdSize);
    b.u32(bigOffset ? kMax32 : cdOffset);
    b.u16(0); // comment
    if (put(end.data(), end.size()) != Status::Ok)
        return failed_;
    return flush();
}

} // namespace qvo::formats::zip
