#include "formats/lha/lha_writer.h"

#include "archivers/include/qvo_archiver.h"
#include "create/atomic_output_file.h"
#include "create/composed_source_names.h"
#include "create/source_tree.h"
#include "formats/lha/lha_packer.h"
#include "formats/lha/mapped_file.h"
#include "codecs/lha/lha_crc16.h"
#include "formats/lha/lha_header_writer.h"
#include "formats/lha/lha_names.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <unistd.h>

namespace qvo::formats::lha {
namespace fs = std::filesystem;
using namespace qvo::codecs::lha;
using namespace qvo::formats::lha;

namespace {

constexpr uint16_t kModeDir = 0040000;
constexpr uint16_t kModeFile = 0100000;
constexpr uint16_t kModeLink = 0120000;

uint32_t headerTime(int64_t t)
{
    return uint32_t(std::clamp<int64_t>(t, 0, 0xFFFFFFFFll));
}

// True when every name of the archive, and the target of every link, can
// go out in CP932 (see lha_names.h).
bool allNamesFitCp932(const std::vector<create::SourceEntry> &entries)
{
    for (const create::SourceEntry &e : entries) {
        const bool link = e.kind == create::SourceEntry::Kind::Symlink;
        if (!lhaNameFitsCp932(e.name, link) || (link && !lhaNameFitsCp932(e.linkTarget, true)))
            return false;
    }
    return true;
}

class ArchiveBuilder {
public:
    ArchiveBuilder(create::AtomicOutputFile &out, LhaMethod method, ParallelPacker &packer, LhaNameBytes nameBytes)
        : out_(out), method_(method), packer_(packer), nameBytes_(nameBytes)
    {
    }

    int32_t add(size_t index, const create::SourceEntry &e)
    {
        if (packer_.handles(index))
            return addPacked(e, packer_.take());
        switch (e.kind) {
        case create::SourceEntry::Kind::Directory:
            return addFolder(e);
        case create::SourceEntry::Kind::Symlink:
            return addLink(e);
        case create::SourceEntry::Kind::File:
            return addFile(e);
        }
        return archivers::kErrInternal;
    }

    // The end mark (a zero byte), then the file is cut there: a member
    // that was first compressed and then stored may have left bytes beyond.
    bool finish()
    {
        const uint8_t zero = 0;
        return out_.writeAt(pos_, &zero, 1) && ftruncate(out_.fd(), off_t(pos_ + 1)) == 0;
    }

private:
    // Header fields every entry shares.
    int32_t commonHeader(const create::SourceEntry &e, bool isFolder, uint16_t type, LhaMemberHeader &h)
    {
        auto name = storedLhaName(e.name, isFolder, nameBytes_);
        if (!name)
            return archivers::kErrNotSupported;
        h.fileName = name->fileName;
        h.dirName = name->dirName;
        h.codePage = name->codePage;
        h.utf16FileName = name->utf16FileName;
        h.utf16DirName = name->utf16DirName;
        h.osId = kLhaOsIdUnix;
        h.mtime = headerTime(e.mtimeSec);
        // Permissions only where they differ from what readers assume
        // without them (0644 files, 0755 folders under the usual umask);
        // owners not at all: they mean nothing on another system.
        const uint16_t usual = type == kModeDir ? 0755 : 0644;
        if ((e.mode & 07777) != usual)
            h.unixMode = uint16_t(type | (e.mode & 07777));
        return archivers::kOk;
    }

    int32_t writeHeader(const LhaMemberHeader &h, uint64_t at, size_t *size = nullptr)
    {
        std::vector<uint8_t> bytes = buildLevel2Header(h);
        if (bytes.empty())
            return archivers::kErrTooLarge; // path too long for a 64 KiB header
        if (!out_.writeAt(at, bytes.data(), bytes.size()))
            return archivers::kErrWrite;
        if (size)
            *size = bytes.size();
        return archivers::kOk;
    }

    int32_t addFolder(const create::SourceEntry &e)
    {
        LhaMemberHeader h;
        if (int32_t r = commonHeader(e, true, kModeDir, h); r != archivers::kOk)
            return r;
        std::memcpy(h.method, "-lhd-", 5);
        size_t n = 0;
        if (int32_t r = writeHeader(h, pos_, &n); r != archivers::kOk)
            return r;
        pos_ += n;
        return archivers::kOk;
    }

    // Unix LHA stores a link as a "-lhd-" entry named "name|target" with
    // the link file type in its permission header; lhasa and libarchive
    // restore it as a link.  They end the name at the first "|" (libarchive
    // in the whole path, folders included), so a link whose path holds one
    // cannot be stored: it would come back as another link.
    int32_t addLink(const create::SourceEntry &e)
    {
        if (e.name.find('|') != std::string::npos)
            return archivers::kErrNotSupported;
        LhaMemberHeader h;
        if (int32_t r = commonHeader(e, false, kModeLink, h); r != archivers::kOk)
            return r;
        const std::optional<std::string> target = lhaNameBytes(e.linkTarget, nameBytes_);
        if (e.linkTarget.empty() || e.linkTarget.find('\xFF') != std::string::npos || !target)
            return archivers::kErrNotSupported;
        h.fileName += '|';
        h.fileName += *target;
        if (!h.utf16FileName.empty())
            h.utf16FileName += utf8ToUtf16("|" + e.linkTarget);
        h.unixMode = uint16_t(kModeLink | 0777);
        std::memcpy(h.method, "-lhd-", 5);
        size_t n = 0;
        if (int32_t r = writeHeader(h, pos_, &n); r != archivers::kOk)
            return r;
        pos_ += n;
        return archivers::kOk;
    }

    // A file the workers packed in memory.
    int32_t addPacked(const create::SourceEntry &e, const PackedMember &m)
    {
        if (m.error != archivers::kOk)
            return m.error;
        LhaMemberHeader h;
        if (int32_t r = commonHeader(e, false, kModeFile, h); r != archivers::kOk)
            return r;
        std::memcpy(h.method, lhaMethodId(m.method), 5);
        h.originalSize = m.originalSize;
        h.compressedSize = uint32_t(m.bytes.size());
        h.dataCrc = m.crc;
        size_t n = 0;
        if (int32_t r = writeHeader(h, pos_, &n); r != archivers::kOk)
            return r;
        pos_ += n;
        if (!m.bytes.empty() && !out_.writeAt(pos_, m.bytes.data(), m.bytes.size()))
            return archivers::kErrWrite;
        pos_ += m.bytes.size();
        return archivers::kOk;
    }

    // A large file, compressed straight into the archive.
    int32_t addFile(const create::SourceEntry &e)
    {
        LhaMemberHeader h;
        if (int32_t r = commonHeader(e, false, kModeFile, h); r != archivers::kOk)
            return r;
        MappedFile in;
        if (int32_t r = in.open(e.diskPath); r != archivers::kOk)
            return r;
        h.originalSize = uint32_t(in.size());
        h.dataCrc = crc16Update(0, in.data(), in.size());

        // The header's size does not depend on the method or the sizes, so
        // the data can follow a provisional header that is patched last.
        const uint64_t headerAt = pos_;
        size_t headerSize = 0;
        if (int32_t r = writeHeader(h, headerAt, &headerSize); r != archivers::kOk)
            return r;
        const uint64_t dataAt = headerAt + headerSize;

        LhaMethod used = method_;
        uint64_t packed = 0;
        if (used != LhaMethod::Lh0) {
            uint64_t written = 0;
            ByteSink sink = [&](const uint8_t *p, size_t n) {
                if (!out_.writeAt(dataAt + written, p, n))
                    return false;
                written += n;
                return true;
            };
            EncodeResult res = encodeLhaMember(used, in.data(), in.size(), sink);
            if (res.status == EncodeStatus::SinkFailed)
                return archivers::kErrWrite;
            if (res.status == EncodeStatus::Ok)
                packed = res.compressedSize;
            else
                used = LhaMethod::Lh0; // not smaller: store it as LHA archivers do
        }
        if (used == LhaMethod::Lh0) {
            if (in.size() && !out_.writeAt(dataAt, in.data(), in.size()))
                return archivers::kErrWrite;
            packed = in.size();
        }
        std::memcpy(h.method, lhaMethodId(used), 5);
        h.compressedSize = uint32_t(packed);
        if (int32_t r = writeHeader(h, headerAt); r != archivers::kOk)
            return r;
        pos_ = dataAt + packed;
        return archivers::kOk;
    }

    create::AtomicOutputFile &out_;
    LhaMethod method_;
    ParallelPacker &packer_;
    LhaNameBytes nameBytes_;
    uint64_t pos_ = 0;
};

} // namespace

int32_t writeLhaArchive(const fs::path &archive, const fs::path &folder,
                        const LhaCreateOptions &options)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return archivers::kErrNoFiles;
    if (fs::is_directory(archive, ec))
        return archivers::kErrWrite;

    create::AtomicOutputFile out;
    std::string error;
    if (!out.open(archive, error))
        return archivers::kErrWrite;

    create::SourceWalkOptions walk;
    walk.recurse = options.recurse;
    walk.keepPaths = options.keepPaths;
    walk.exclude = {archive, out.tempPath()};
    std::vector<create::SourceEntry> entries;
    if (!create::collectSourceTree(folder, walk, entries, error))
        return archivers::kErrNoFiles;
    create::composeSourceNames(entries);
    if (!options.keepPaths) {
        // Without paths, folders have nowhere to go, and two files of one
        // name would overwrite each other on extraction.
        std::erase_if(entries,
                      [](const create::SourceEntry &e) { return e.kind == create::SourceEntry::Kind::Directory; });
        std::set<std::string> seen;
        for (const auto &e : entries)
            if (!seen.insert(e.name).second)
                return archivers::kErrNameClash;
    }
    if (entries.empty())
        return archivers::kErrNoFiles;
    const bool cp932 = allNamesFitCp932(entries);
    if (options.cp932Names && !cp932)
        return archivers::kErrNameEncoding;

    ParallelPacker packer(entries, options.method);
    ArchiveBuilder builder(out, options.method, packer, cp932 ? LhaNameBytes::Cp932 : LhaNameBytes::Utf8);
    for (size_t i = 0; i < entries.size(); ++i)
        if (int32_t r = builder.add(i, entries[i]); r != archivers::kOk)
            return r;
    if (!builder.finish() || !out.commit(error))
        return archivers::kErrWrite;
    return archivers::kOk;
}

} // namespace qvo::formats::lha
