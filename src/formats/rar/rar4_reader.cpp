#include "formats/rar/rar4_reader.h"

#include "codecs/crc32.h"
#include "formats/rar/rar4_headers.h"
#include "formats/rar/rar4_volume.h"
#include "formats/rar/rar_volumes.h"
#include "text/archive_name_charset.h"
#include "text/archive_names.h"
#include "text/cp932.h"
#include "codecs/rar/rar_unpacker.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace qvo::formats::rar {
namespace {

using namespace qvo::formats::rar::rar4;
using codecs::rar::Rar4Unpacker;
using base::DecodeStatus;

constexpr size_t kCopyBuffer = 64 * 1024;
constexpr size_t kMaxLinkTarget = 64 * 1024;

// The volumes of the archive and the walk position across them.
class VolumeWalk {
public:
    int32_t open(const std::filesystem::path &first)
    {
        int32_t r = current_.open(first.string());
        if (r != archivers::kOk)
            return r;
        names_ = {first.string()};
        if (current_.mainFlags() & kMainVolume) {
            RarVolumeInfo info = readRarVolumeInfo(first);
            if (!info.isFirstVolume)
                return archivers::kErrMissingVolume;
            names_ = findRarVolumes(first);
        }
        return archivers::kOk;
    }

    Volume &volume() { return current_; }
    uint16_t firstMainFlags() const { return firstMainFlags_; }

    // Moves to the next volume.  kOk, or kErrMissingVolume when there is
    // none, or the opening failure.
    int32_t advance()
    {
        if (index_ + 1 >= names_.size())
            return archivers::kErrMissingVolume;
        ++index_;
        int32_t r = current_.open(names_[index_]);
        return r == archivers::kErrOpenArchive ? archivers::kErrCorrupt : r;
    }

    // Whether the set says another volume follows the current one.
    bool moreVolumes() const
    {
        if (!(current_.mainFlags() & kMainVolume))
            return false;
        if (current_.sawEndBlock())
            return (current_.endFlags() & kEndNextVolume) != 0;
        return index_ + 1 < names_.size(); // old volumes may lack an end block
    }

    void rememberMainFlags() { firstMainFlags_ = current_.mainFlags(); }

private:
    Volume current_;
    std::vector<std::string> names_;
    size_t index_ = 0;
    uint16_t firstMainFlags_ = 0;
};

// The packed data of one member, following it into later volumes.  Each
// part but the last carries the CRC of its packed bytes; the last part's
// header has the CRC of the whole unpacked member.
class MemberData : public base::ByteSource {
public:
    MemberData(VolumeWalk &walk, const FileHeader &first)
        : walk_(walk), header_(first), offset_(walk.volume().dataOffset()), left_(walk.volume().dataSize())
    {
    }

    int64_t read(uint8_t *dst, size_t n) override
    {
        while (left_ == 0) {
            if (!header_.splitAfter())
                return 0;
            if (partCrc_ != header_.crc) {
                failure_ = archivers::kErrCorrupt;
                return -1;
            }
            if (!nextPart())
                return -1;
        }
        size_t want = static_cast<size_t>(std::min<uint64_t>(n, left_));
        int64_t got = walk_.volume().readAt(offset_, dst, want);
        if (got <= 0) {
            failure_ = archivers::kErrCorrupt; // cut off by the end of the file
            return -1;
        }
        partCrc_ = codecs::crc32(partCrc_, dst, got);
        offset_ += static_cast<uint64_t>(got);
        left_ -= static_cast<uint64_t>(got);
        return got;
    }

    // Skips what was not read, into the volume that holds the last part.
    bool finish()
    {
        while (header_.splitAfter() && failure_ == archivers::kOk) {
            if (!nextPart())
                return false;
        }
        if (failure_ != archivers::kOk)
            return false;
        walk_.volume().skipData();
        return true;
    }

    uint32_t finalCrc() const { return header_.crc; }
    int32_t failure() const { return failure_; }

private:
    bool nextPart()
    {
        walk_.volume().skipData();
        BlockHeader block;
        std::string raw;
        Volume::Step step = walk_.volume().next(block, raw);
        // The rest of this volume holds nothing but the end block.
        if (step == Volume::Step::Block || step == Volume::Step::Corrupt) {
            failure_ = archivers::kErrCorrupt;
            return false;
        }
        int32_t r = walk_.advance();
        if (r != archivers::kOk) {
            failure_ = r;
            return false;
        }
        for (;;) {
            step = walk_.volume().next(block, raw);
            if (step != Volume::Step::Block) {
                failure_ = archivers::kErrCorrupt;
                return false;
            }
            if (block.type == kFileBlock)
                break;
            walk_.volume().skipData();
        }
        auto h = parseFileHeader(raw);
        if (!h || !h->splitBefore()) {
            failure_ = archivers::kErrCorrupt;
            return false;
        }
        header_ = *h;
        offset_ = walk_.volume().dataOffset();
        left_ = walk_.volume().dataSize();
        partCrc_ = 0;
        return true;
    }

    VolumeWalk &walk_;
    FileHeader header_;
    uint64_t offset_;
    uint64_t left_;
    uint32_t partCrc_ = 0;
    int32_t failure_ = archivers::kOk;
};

// Passes unpacked bytes on, counting them and their CRC.
class CrcOutput : public base::ByteSink {
public:
    explicit CrcOutput(extract::ExtractSink *sink, std::string *collect = nullptr) : sink_(sink), collect_(collect) {}

    bool write(const uint8_t *data, size_t size) override
    {
        crc_ = codecs::crc32(crc_, data, size);
        count_ += size;
        if (collect_) {
            if (collect_->size() + size > kMaxLinkTarget)
                return false;
            collect_->append(reinterpret_cast<const char *>(data), size);
        }
        if (sink_ && sinkResult_ == archivers::kOk)
            sinkResult_ = sink_->write(data, size);
        return true;
    }

    uint32_t crc() const { return crc_; }
    uint64_t count() const { return count_; }
    int32_t sinkResult() const { return sinkResult_; }

private:
    extract::ExtractSink *sink_;
    std::string *collect_;
    uint32_t crc_ = 0;
    uint64_t count_ = 0;
    int32_t sinkResult_ = archivers::kOk;
};

int32_t unpackFailure(DecodeStatus r, const MemberData &data)
{
    if (data.failure() != archivers::kOk)
        return data.failure();
    switch (r) {
    case DecodeStatus::Ok:
        return archivers::kOk;
    case DecodeStatus::Unsupported:
        return archivers::kErrNotSupported;
    default:
        return archivers::kErrCorrupt;
    }
}

class Rar4Extraction {
public:
    Rar4Extraction(extract::ExtractSink &sink, const text::ArchiveNameCharset &names) : sink_(sink), names_(names) {}

    int32_t run(const std::filesystem::path &archive)
    {
        int32_t r = walk_.open(archive);
        if (r != archivers::kOk)
            return r;
        walk_.rememberMainFlags();
        for (;;) {
            BlockHeader block;
            std::string raw;
            Volume::Step step = walk_.volume().next(block, raw);
            if (step == Volume::Step::Corrupt)
                return archivers::kErrCorrupt;
            if (step == Volume::Step::End) {
                if (!walk_.moreVolumes())
                    return archivers::kOk;
                r = walk_.advance();
                if (r != archivers::kOk)
                    return r;
                continue;
            }
            if (block.type != kFileBlock) {
                walk_.volume().skipData(); // comments, recovery records, sub-blocks
                continue;
            }
            auto h = parseFileHeader(raw);
            if (!h)
                return archivers::kErrCorrupt;
            if (h->splitBefore()) {
                walk_.volume().skipData(); // the rest of a member that failed earlier
                continue;
            }
            r = member(*h);
            if (r != archivers::kOk)
                return r;
            if (sink_.stopped())
                return archivers::kOk;
        }
    }

private:
    bool solidMember(const FileHeader &h) const
    {
        if (h.flags & kFileSolid)
            return true;
        // Archivers before 2.0 mark only the archive as solid.
        return (walk_.firstMainFlags() & kMainSolid) && h.unpVersion < 20 && compressedSeen_ > 0;
    }

    // Returns a failure that ends the walk; member failures go to the sink.
    int32_t member(const FileHeader &h)
    {
        bool compressed = h.method != kMethodStore;
        bool solid = compressed && solidMember(h);
        if (compressed)
            ++compressedSeen_;
        MemberData data(walk_, h);
        if (h.encrypted()) {
            sink_.recordFailure(archivers::kErrEncrypted);
            if (compressed)
                brokenBy_ = archivers::kErrEncrypted;
            return data.finish() ? archivers::kOk : data.failure();
        }

        extract::MemberInfo info;
        // Unmarked names are in the packing system's code page; valid UTF-8
        // is taken as UTF-8, as most Unix systems write it.
        info.name = h.nameIsUnicode ? h.name : names_.decode(h.rawName, text::NameOrigin::Utf8IfValid);
        info.mtimeSec = h.mtimeSec;
        info.mtimeNsec = h.mtimeNsec;
        info.unixMode = h.unixMode();
        if (h.isDirectory()) {
            info.kind = extract::MemberInfo::Kind::Directory;
            sink_.beginMember(info);
            return data.finish() ? archivers::kOk : data.failure();
        }

        if (compressed && !solid)
            brokenBy_ = archivers::kOk; // a fresh start
        if (solid && brokenBy_ != archivers::kOk) {
            // The state this member builds on was never decoded.
            sink_.recordFailure(brokenBy_);
            return data.finish() ? archivers::kOk : data.failure();
        }

        std::string linkTarget;
        bool isLink = h.isSymlink();
        bool accepted = false;
        if (!isLink) {
            info.size = h.unpSize;
            accepted = sink_.beginMember(info) == archivers::kOk;
            // In a solid archive later members build on this one's data.
            if (!accepted && !(compressed && (walk_.firstMainFlags() & kMainSolid)))
                return data.finish() ? archivers::kOk : data.failure();
        }
        CrcOutput out(accepted ? &sink_ : nullptr, isLink ? &linkTarget : nullptr);
        int32_t failure = decode(h, solid, data, out);
        if (failure == archivers::kOk && out.crc() != data.finalCrc())
            failure = archivers::kErrCorrupt;
        if (failure != archivers::kOk && compressed)
            brokenBy_ = failure;
        int32_t walkFailure = data.finish() ? archivers::kOk : data.failure();

        if (isLink) {
            if (failure != archivers::kOk) {
                sink_.recordFailure(failure);
            } else {
                info.kind = extract::MemberInfo::Kind::Symlink;
                info.linkTarget = names_.decode(linkTarget, text::NameOrigin::Utf8IfValid);
                sink_.beginMember(info);
            }
        } else if (accepted) {
            if (out.sinkResult() != archivers::kOk)
                sink_.endMember(false, out.sinkResult());
            else
                sink_.endMember(failure == archivers::kOk, failure);
        }
        return walkFailure;
    }

    int32_t decode(const FileHeader &h, bool solid, MemberData &data, CrcOutput &out)
    {
        if (h.method == kMethodStore) {
            std::vector<uint8_t> buf(kCopyBuffer);
            for (;;) {
                int64_t n = data.read(buf.data(), buf.size());
                if (n < 0)
                    return data.failure() != archivers::kOk ? data.failure() : archivers::kErrCorrupt;
                if (n == 0)
                    return archivers::kOk;
                if (!out.write(buf.data(), static_cast<size_t>(n)))
                    return archivers::kErrCorrupt; // link target too long
            }
        }
        if (!Rar4Unpacker::supportsVersion(h.unpVersion))
            return archivers::kErrNotSupported;
        if (h.unpSize == 0 && h.packSize == 0 && !h.splitAfter())
            return archivers::kOk; // nothing to decode, and no state to carry
        DecodeStatus r = unpacker_.unpack(h.unpVersion, solid, data, h.unpSize, out);
        if (r == DecodeStatus::Ok && out.count() != h.unpSize)
            return archivers::kErrCorrupt;
        return unpackFailure(r, data);
    }

    extract::ExtractSink &sink_;
    const text::ArchiveNameCharset &names_;
    VolumeWalk walk_;
    Rar4Unpacker unpacker_;
    size_t compressedSeen_ = 0;
    int32_t brokenBy_ = archivers::kOk;
};

} // namespace

bool rar4ReaderHandles(const std::filesystem::path &archive)
{
    Volume v;
    // A damaged RAR 4 archive is ours to report too.
    int32_t opened = v.open(archive.string());
    if (opened != archivers::kOk)
        return opened != archivers::kErrOpenArchive;
    for (;;) {
        BlockHeader block;
        std::string raw;
        if (v.next(block, raw) != Volume::Step::Block)
            return true; // the end, or damage the walk reports
        if (block.type == kFileBlock) {
            auto h = parseFileHeader(raw);
            if (h && h->method != kMethodStore && !h->isDirectory()
                && !Rar4Unpacker::supportsVersion(h->unpVersion))
                return false;
        }
        v.skipData();
    }
}

// Offers the unmarked names of the first volume's headers to `names`.
void collectRar4Names(const std::filesystem::path &archive, text::ArchiveNameCharset &names)
{
    Volume v;
    if (v.open(archive.string()) != archivers::kOk)
        return;
    for (;;) {
        BlockHeader block;
        std::string raw;
        if (v.next(block, raw) != Volume::Step::Block)
            return;
        if (block.type == kFileBlock) {
            auto h = parseFileHeader(raw);
            if (h && !h->nameIsUnicode)
                names.add(h->rawName, text::NameOrigin::Utf8IfValid);
        }
        v.skipData();
    }
}

int32_t readRar4(const std::filesystem::path &archive, const std::string &chosenCharset, extract::ExtractSink &sink)
{
    text::ArchiveNameCharset names(chosenCharset);
    if (chosenCharset.empty()) {
        collectRar4Names(archive, names);
        names.decide();
    }
    Rar4Extraction extraction(sink, names);
    return extraction.run(archive);
}

} // namespace qvo::formats::rar
