#include "formats/zip/zip_walker.h"

#include "extract/file_range_source.h"
#include "base/endian.h"
#include "base/unique_fd.h"
#include "codecs/crc32.h"
#include "formats/zip/zip_central_directory.h"
#include "formats/zip/zip_name_markers.h"
#include "text/archive_names.h"
#include "text/cp932.h"
#include "codecs/zip_legacy/zip_legacy_decoder.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace qvo::formats::zip {
namespace {

namespace zc = codecs::zip_legacy;

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kMethodStore = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kExtraUnicodePath = 0x7075;
constexpr uint16_t kExtraTimestamp = 0x5455;
constexpr uint16_t kExtraNtfs = 0x000a;
constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kDosDirectory = 0x10;
constexpr uint32_t kTypeMask = 0170000;
constexpr uint32_t kTypeDirectory = 0040000;
constexpr uint32_t kTypeLink = 0120000;
constexpr uint64_t kMaxLinkTarget = 64 * 1024;
constexpr size_t kBufferSize = 64 * 1024;
constexpr uint64_t kFileTimeEpochOffset = 11644473600ULL; // 1601 -> 1970, seconds

// Passes decoded data to the sink (or collects a link target), counting
// bytes and the CRC on the way.
class CheckedOutput : public base::ByteSink {
public:
    CheckedOutput(extract::ExtractSink &sink, std::string *collect) : sink_(sink), collect_(collect) {}

    bool write(const uint8_t *data, size_t size) override
    {
        crc_ = codecs::crc32(crc_, data, size);
        total_ += size;
        if (collect_) {
            if (collect_->size() + size > kMaxLinkTarget)
                return false;
            collect_->append(reinterpret_cast<const char *>(data), size);
            return true;
        }
        sinkResult_ = sink_.write(data, size);
        return sinkResult_ == archivers::kOk;
    }
    uint32_t crc() const { return crc_; }
    uint64_t total() const { return total_; }
    int32_t sinkResult() const { return sinkResult_; }

private:
    extract::ExtractSink &sink_;
    std::string *collect_;
    uint32_t crc_ = 0;
    uint64_t total_ = 0;
    int32_t sinkResult_ = archivers::kOk;
};

base::DecodeStatus copyStored(base::ByteSource &in, uint64_t size, base::ByteSink &out)
{
    std::vector<uint8_t> buf(kBufferSize);
    uint64_t total = 0;
    int64_t n;
    while ((n = in.read(buf.data(), buf.size())) > 0) {
        total += static_cast<uint64_t>(n);
        if (total > size)
            return base::DecodeStatus::Corrupt;
        if (!out.write(buf.data(), static_cast<size_t>(n)))
            return base::DecodeStatus::OutputStopped;
    }
    return total == size ? base::DecodeStatus::Ok : base::DecodeStatus::Truncated;
}

base::DecodeStatus inflateDeflate(base::ByteSource &in, uint64_t size, base::ByteSink &out)
{
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return base::DecodeStatus::Corrupt;
    std::vector<uint8_t> input(kBufferSize), output(kBufferSize);
    uint64_t total = 0;
    base::DecodeStatus status = base::DecodeStatus::Truncated;
    int r = Z_OK;
    while (r != Z_STREAM_END) {
        if (z.avail_in == 0) {
            int64_t n = in.read(input.data(), input.size());
            if (n <= 0)
                break; // truncated
            z.next_in = input.data();
            z.avail_in = static_cast<uInt>(n);
        }
        z.next_out = output.data();
        z.avail_out = static_cast<uInt>(output.size());
        r = inflate(&z, Z_NO_FLUSH);
        if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) {
            status = base::DecodeStatus::Corrupt;
            break;
        }
        size_t produced = output.size() - z.avail_out;
        total += produced;
        if (total > size) {
            status = base::DecodeStatus::Corrupt;
            break;
        }
        if (produced && !out.write(output.data(), produced)) {
            status = base::DecodeStatus::OutputStopped;
            break;
        }
        if (r == Z_STREAM_END)
            status = total == size ? base::DecodeStatus::Ok : base::DecodeStatus::Corrupt;
    }
    inflateEnd(&z);
    return status;
}

// DOS date and time are local time, as libarchive takes them.
std::optional<int64_t> dosTime(uint16_t date, uint16_t time)
{
    if (date == 0)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = ((date >> 9) & 0x7F) + 80;
    tm.tm_mon = ((date >> 5) & 0x0F) - 1;
    tm.tm_mday = date & 0x1F;
    tm.tm_hour = (time >> 11) & 0x1F;
    tm.tm_min = (time >> 5) & 0x3F;
    tm.tm_sec = (time & 0x1F) * 2;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<int64_t>(t);
}

// Modification time: Info-ZIP's UT field, else the NTFS field, else DOS.
void setTime(const ZipCentralRecord &r, extract::MemberInfo &m)
{
    std::string_view ut = findZipExtra(r.extra, kExtraTimestamp);
    if (ut.size() >= 5 && (ut[0] & 0x01)) {
        m.mtimeSec = static_cast<int64_t>(static_cast<int32_t>(base::loadLe32(ut.data() + 1)));
        return;
    }
    std::string_view nt = findZipExtra(r.extra, kExtraNtfs);
    for (size_t at = 4; at + 4 <= nt.size();) {
        auto tag = base::loadLe16(nt.data() + at);
        auto len = static_cast<size_t>(base::loadLe16(nt.data() + at + 2));
        if (at + 4 + len > nt.size())
            break;
        if (tag == 1 && len >= 8) {
            uint64_t ft = base::loadLe64(nt.data() + at + 4);
            if (ft != 0) {
                m.mtimeSec = static_cast<int64_t>(ft / 10000000ULL) - static_cast<int64_t>(kFileTimeEpochOffset);
                m.mtimeNsec = static_cast<uint32_t>((ft % 10000000ULL) * 100);
                return;
            }
        }
        at += 4 + len;
    }
    m.mtimeSec = dosTime(r.dosDate, r.dosTime);
}

// How a member's texts are written: "" for marked UTF-8, else the
// encoding of its unmarked name.
std::string decodeText(std::string_view raw, const std::string &charset)
{
    return charset.empty() ? text::archiveNameToUtf8(raw, text::NameEncoding::Utf8)
                           : text::archiveNameToUtf8(raw, charset);
}

bool hasUnicodePath(const ZipCentralRecord &r)
{
    std::string_view up = findZipExtra(r.extra, kExtraUnicodePath);
    return up.size() > 5 && up[0] == 1
        && base::loadLe32(up.data() + 1) == codecs::crc32(0, r.name.data(), r.name.size())
        && text::isValidUtf8(up.substr(5));
}

// The member's name as UTF-8, and in `charset` how its other texts (a
// link target) are written: as libarchive decides, bit 11 or a Unicode
// Path field whose CRC matches the stored name mean UTF-8; other names
// are read as `names` says.
std::string decodeStoredName(const ZipCentralRecord &r, const text::ArchiveNameCharset &names, std::string &charset)
{
    charset.clear();
    if (r.flags & kFlagUtf8)
        return decodeText(r.name, charset);
    if (hasUnicodePath(r))
        return decodeText(findZipExtra(r.extra, kExtraUnicodePath).substr(5), charset);
    charset = names.charsetFor(r.name, zipNameOrigin(r.host));
    return decodeText(r.name, charset);
}

// As other readers do: a NUL byte, which no file name can hold, becomes
// "_", and a file without a name takes the archive's (without extension).
std::string decodeName(const ZipCentralRecord &r, const std::filesystem::path &archive,
                       const text::ArchiveNameCharset &names, std::string &charset)
{
    std::string name = decodeStoredName(r, names, charset);
    std::replace(name.begin(), name.end(), '\0', '_');
    if (name.empty())
        name = archive.stem().string();
    return name;
}

extract::MemberInfo describe(const ZipCentralRecord &r, const std::filesystem::path &archive, bool &isLink,
                    const text::ArchiveNameCharset &names, std::string &charset)
{
    extract::MemberInfo m;
    m.name = decodeName(r, archive, names, charset);
    uint32_t unixMode = r.host == kZipHostUnix || r.host == kZipHostOsX ? r.externalAttributes >> 16 : 0;
    bool dir = (!r.name.empty() && (r.name.back() == '/' || r.name.back() == '\\'))
        || (unixMode & kTypeMask) == kTypeDirectory || (!unixMode && (r.externalAttributes & kDosDirectory));
    isLink = !dir && (unixMode & kTypeMask) == kTypeLink;
    if (dir)
        m.kind = extract::MemberInfo::Kind::Directory;
    else if (isLink)
        m.kind = extract::MemberInfo::Kind::Symlink;
    else
        m.size = r.size;
    if (unixMode & 07777)
        m.unixMode = unixMode & 07777;
    else if (!unixMode && (r.externalAttributes & kDosReadOnly) && !dir)
        m.unixMode = 0444;
    setTime(r, m);
    return m;
}

base::DecodeStatus decode(const ZipCentralRecord &r, base::ByteSource &in, base::ByteSink &out)
{
    if (r.method == kMethodStore)
        return copyStored(in, r.size, out);
    if (r.method == kMethodDeflate)
        return inflateDeflate(in, r.size, out);
    if (zc::isLegacyMethod(r.method))
        return zc::decodeLegacyMember(r.method, r.flags, in, r.size, out);
    return base::DecodeStatus::Corrupt; // a method we do not know
}

// Where the member's data starts, or 0 when the local header is not where
// the directory says or the data would overlap the directory.
uint64_t dataStart(int fd, const ZipCentralRecord &r, const ZipCentralDirectory &dir)
{
    int64_t local = static_cast<int64_t>(r.localOffset) + dir.shift;
    if (local < 0 || static_cast<uint64_t>(local) + kLocalHeaderSize > dir.offset)
        return 0;
    char head[kLocalHeaderSize];
    if (::pread(fd, head, sizeof head, static_cast<off_t>(local)) != static_cast<ssize_t>(sizeof head))
        return 0;
    std::string_view h(head, sizeof head);
    if (base::loadLe32(h.data()) != kLocalSignature)
        return 0;
    uint64_t start = static_cast<uint64_t>(local) + kLocalHeaderSize + base::loadLe16(h.data() + 26) + base::loadLe16(h.data() + 28);
    if (start > dir.offset || r.compressedSize > dir.offset - start)
        return 0;
    return start;
}

} // namespace

int32_t readZipWithOwnDecoders(const std::filesystem::path &archive, const std::string &chosenCharset,
                               extract::ExtractSink &sink)
{
    std::ifstream in(archive, std::ios::binary);
    if (!in)
        return archivers::kErrOpenArchive;
    ZipCentralDirectory dir = loadZipCentralDirectory(in);
    if (!dir.found)
        return archivers::kErrOpenArchive;
    base::UniqueFd fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return archivers::kErrOpenArchive;

    // Every unmarked name is known before the first member goes out.
    text::ArchiveNameCharset names(chosenCharset);
    size_t at = 0;
    ZipCentralRecord r;
    while (size_t next = parseZipCentralRecord(dir.bytes, at, r)) {
        if (!(r.flags & kFlagUtf8) && !hasUnicodePath(r))
            names.add(r.name, zipNameOrigin(r.host));
        at = next;
    }
    names.decide();

    int32_t result = archivers::kOk;
    uint64_t entries = 0;
    at = 0;
    while (size_t next = parseZipCentralRecord(dir.bytes, at, r)) {
        at = next;
        ++entries;
        bool isLink = false;
        std::string charset;
        extract::MemberInfo info = describe(r, archive, isLink, names, charset);
        if (r.flags & kFlagEncrypted) {
            sink.recordFailure(archivers::kErrEncrypted);
            continue;
        }
        uint64_t start = info.kind == extract::MemberInfo::Kind::Directory ? 0 : dataStart(fd.get(), r, dir);
        if (info.kind != extract::MemberInfo::Kind::Directory && start == 0) {
            sink.beginMember(info);
            sink.endMember(false, archivers::kErrCorrupt);
            continue;
        }
        std::string target;
        if (isLink) {
            extract::FileRangeSource src(fd.get(), start, r.compressedSize);
            CheckedOutput out(sink, &target);
            bool ok = decode(r, src, out) == base::DecodeStatus::Ok && out.crc() == r.crc;
            if (!ok) {
                sink.beginMember(info);
                sink.endMember(false, archivers::kErrCorrupt);
                continue;
            }
            info.linkTarget = decodeText(target, charset);
        }
        if (sink.beginMember(info) == archivers::kOk && info.kind == extract::MemberInfo::Kind::File) {
            extract::FileRangeSource src(fd.get(), start, r.compressedSize);
            CheckedOutput out(sink, nullptr);
            base::DecodeStatus s = decode(r, src, out);
            bool ok = s == base::DecodeStatus::Ok && out.total() == r.size && out.crc() == r.crc;
            sink.endMember(ok, s == base::DecodeStatus::OutputStopped ? out.sinkResult() : archivers::kErrCorrupt);
        }
        if (sink.stopped())
            break;
    }
    if (entries != dir.count && !sink.stopped())
        result = archivers::kErrCorrupt; // the directory does not hold what its end record says
    return result;
}

} // namespace qvo::formats::zip
