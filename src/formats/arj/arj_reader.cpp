#include "formats/arj/arj_reader.h"

#include "base/endian.h"
#include "codecs/arj/arj_decoder.h"
#include "codecs/crc32.h"
#include "extract/file_range_source.h"
#include "formats/arj/arj_format.h"
#include "formats/arj/arj_members.h"
#include "platform/file_reading.h"
#include "platform/local_time.h"
#include "text/archive_name_charset.h"

#include <optional>
#include <string_view>

namespace qvo::formats::arj {
namespace {

using archivers::kOk;
using archivers::kErrCorrupt;
using archivers::kErrMissingVolume;
using archivers::kErrNotSupported;
using archivers::kErrEncrypted;

using extract::ExtractSink;
using extract::MemberInfo;
using base::DecodeStatus;

constexpr uint16_t kUnixPermissions = 07777;
constexpr uint16_t kDosReadOnly = 0x01;
constexpr uint8_t kLongLength = 31; // the special file's length follows in 16 bits

bool fromUnix(const ArjHeader &h)
{
    return h.hostOs == kHostUnix || h.hostOs == kHostNext;
}

text::NameOrigin originOf(const ArjHeader &h)
{
    return fromUnix(h) ? text::NameOrigin::Utf8IfValid : text::NameOrigin::Unknown;
}

// In a chapter archive, what ARJ extracts by default: the members alive in
// the last chapter (and any outside the chapter scheme).
bool inLastChapter(const ArjHeader &h, uint8_t lastChapter)
{
    if (lastChapter == 0 || (h.firstChapter == 0 && h.lastChapter == 0))
        return true;
    return h.firstChapter <= lastChapter && lastChapter <= h.lastChapter;
}

// Headers that stand for no member: labels, and members of older chapters.
bool isMember(const ArjHeader &h, uint8_t lastChapter)
{
    return h.fileType != kTypeMain && h.fileType != kTypeVolumeLabel && h.fileType != kTypeChapterLabel &&
           inLastChapter(h, lastChapter);
}

struct UnixSpecial {
    uint8_t kind = 0;
    std::string_view target;
};

// The Unix special file's extended header: flags, then kind and length.
std::optional<UnixSpecial> parseUnixSpecial(std::string_view d)
{
    if (d.size() < 2)
        return std::nullopt;
    UnixSpecial s;
    s.kind = static_cast<uint8_t>(d[1]) >> 5;
    size_t length = static_cast<uint8_t>(d[1]) & 0x1F;
    size_t at = 2;
    if (length == kLongLength) {
        if (d.size() < 4)
            return std::nullopt;
        length = base::loadLe16(d.data() + 2);
        at = 4;
    }
    if (at + length > d.size())
        return std::nullopt;
    s.target = d.substr(at, length);
    return s;
}

MemberInfo describe(const ArjMember &m, const text::ArchiveNameCharset &names)
{
    const ArjHeader &h = m.header;
    MemberInfo info;
    info.name = names.decode(h.name, originOf(h));
    if (fromUnix(h)) {
        info.mtimeSec = static_cast<int64_t>(h.modified);
        info.unixMode = h.mode & kUnixPermissions;
    } else {
        info.mtimeSec = platform::dosTimeToUnix(h.modified);
        if ((h.mode & kDosReadOnly) && h.fileType != kTypeDirectory)
            info.unixMode = 0444;
    }
    if (h.fileType == kTypeDirectory) {
        info.kind = MemberInfo::Kind::Directory;
    } else if (h.fileType == kTypeUnixSpecial) {
        const std::optional<UnixSpecial> special = parseUnixSpecial(h.unixSpecial);
        if (special && special->kind == kSpecialSymlink) {
            info.kind = MemberInfo::Kind::Symlink;
        } else if (special && special->kind == kSpecialHardLink) {
            info.kind = MemberInfo::Kind::Hardlink;
        } else {
            info.isDeviceOrFifo = true; // a device, FIFO, or a kind we do not know: the sink refuses it
            return info;
        }
        info.linkTarget = names.decode(special->target, originOf(h));
    } else {
        info.size = m.size;
    }
    return info;
}

// The volumes' files, one open at a time: the parts of a member come in
// volume order.
class VolumeFiles {
public:
    explicit VolumeFiles(const std::vector<std::filesystem::path> &paths) : paths_(paths) {}

    int fd(size_t volume)
    {
        if (volume != current_) {
            uint64_t size = 0;
            fd_ = platform::openRegularFile(paths_[volume].string(), size);
            current_ = volume;
        }
        return fd_.get();
    }

private:
    const std::vector<std::filesystem::path> &paths_;
    base::UniqueFd fd_;
    size_t current_ = SIZE_MAX;
};

// Passes a part's output on to the sink, counting its bytes and CRC.
class PartOutput final : public base::ByteSink {
public:
    explicit PartOutput(ExtractSink &sink) : sink_(sink) {}
    bool write(const uint8_t *data, size_t size) override
    {
        crc_ = codecs::crc32(crc_, data, size);
        total_ += size;
        result_ = sink_.write(data, size);
        return result_ == kOk;
    }
    uint32_t crc() const { return crc_; }
    uint64_t total() const { return total_; }
    int32_t result() const { return result_; }

private:
    ExtractSink &sink_;
    uint32_t crc_ = 0;
    uint64_t total_ = 0;
    int32_t result_ = kOk;
};

// Decodes every part of a file member into the sink: kOk, or the failure.
int32_t writeParts(const ArjMember &m, VolumeFiles &files, ExtractSink &sink)
{
    for (const ArjPart &part : m.parts) {
        const int fd = files.fd(part.volume);
        if (fd < 0)
            return kErrMissingVolume; // gone since the headers were read
        extract::FileRangeSource source(fd, part.dataOffset, part.compressedSize);
        PartOutput out(sink);
        const DecodeStatus status = codecs::arj::decodeArj(part.method, source, part.originalSize, out);
        if (status == DecodeStatus::OutputStopped)
            return out.result();
        if (status == DecodeStatus::Unsupported)
            return kErrNotSupported;
        if (status != DecodeStatus::Ok || out.total() != part.originalSize || out.crc() != part.crc)
            return kErrCorrupt;
    }
    return kOk;
}

} // namespace

int32_t readArjArchive(const std::filesystem::path &archive, const std::string &chosenCharset, ExtractSink &sink)
{
    ArjCatalogue catalogue;
    if (const int32_t r = readArjCatalogue(archive, catalogue); r != kOk)
        return r;
    const uint8_t lastChapter = catalogue.main.lastChapter;

    // DOS archivers wrote the OEM code page, ARJ32 the ANSI one when it says so.
    text::ArchiveNameCharset names(chosenCharset, !(catalogue.main.flags & kFlagAnsiNames));
    for (const ArjMember &m : catalogue.members) {
        if (isMember(m.header, lastChapter))
            names.add(m.header.name, originOf(m.header));
    }
    names.decide();

    VolumeFiles files(catalogue.volumes);
    for (const ArjMember &m : catalogue.members) {
        if (!isMember(m.header, lastChapter))
            continue;
        if (m.header.flags & kFlagGarbled) {
            sink.recordFailure(kErrEncrypted);
            continue;
        }
        if (m.failure != kOk) {
            sink.recordFailure(m.failure);
            continue;
        }
        const MemberInfo info = describe(m, names);
        if (sink.beginMember(info) == kOk && info.kind == MemberInfo::Kind::File && !info.isDeviceOrFifo) {
            const int32_t result = writeParts(m, files, sink);
            sink.endMember(result == kOk, result);
        }
        if (sink.stopped())
            break;
    }
    return catalogue.failure;
}

} // namespace qvo::formats::arj
