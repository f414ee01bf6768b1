#include "formats/lha/lha_archive_writer.h"

#include "codecs/lha/lha_crc16.h"
#include "formats/lha/lha_header_writer.h"
#include "formats/lha/lha_names.h"
#include "formats/lha/lha_packer.h"
#include "formats/lha/mapped_file.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

namespace qvo::formats::lha {
using namespace qvo::codecs::lha;
using create::WriteResult;
using create::WriterEntry;
using create::WriteStatus;

namespace {

constexpr uint16_t kModeDir = 0040000;
constexpr uint16_t kModeFile = 0100000;
constexpr uint16_t kModeLink = 0120000;

std::optional<LhaMethod> methodNamed(std::string_view name)
{
    for (LhaMethod m : {LhaMethod::Lh0, LhaMethod::Lh1, LhaMethod::Lh5, LhaMethod::Lh6, LhaMethod::Lh7})
        if (name == std::string_view(lhaMethodId(m), 5).substr(1, 3))
            return m;
    return std::nullopt;
}

uint32_t headerTime(int64_t t)
{
    return uint32_t(std::clamp<int64_t>(t, 0, 0xFFFFFFFFll));
}

// True when every name of the archive, and the target of every link, can
// go out in CP932 (see lha_names.h).
bool allNamesFitCp932(const std::vector<WriterEntry> &entries)
{
    for (const WriterEntry &e : entries) {
        const bool link = e.kind == WriterEntry::Kind::Link;
        if (!lhaNameFitsCp932(e.name, link) || (link && !lhaNameFitsCp932(e.linkTarget, true)))
            return false;
    }
    return true;
}

class ArchiveBuilder {
public:
    ArchiveBuilder(base::SeekableOutput &out, LhaMethod method, ParallelPacker &packer, LhaNameBytes nameBytes)
        : out_(out), method_(method), packer_(packer), nameBytes_(nameBytes)
    {
    }

    WriteResult add(size_t index, const WriterEntry &e)
    {
        if (packer_.handles(index))
            return addPacked(e, packer_.take());
        switch (e.kind) {
        case WriterEntry::Kind::Folder:
            return addFolder(e);
        case WriterEntry::Kind::Link:
            return addLink(e);
        case WriterEntry::Kind::File:
            return addFile(e);
        }
        return WriteResult::failure(WriteStatus::Internal, "unknown kind of entry " + e.name);
    }

    // The end mark: a zero byte.
    WriteResult finish()
    {
        const uint8_t zero = 0;
        return append(&zero, 1) ? WriteResult{} : writeFailed();
    }

private:
    static WriteResult writeFailed() { return WriteResult::failure(WriteStatus::WriteError, "cannot write the archive"); }

    bool append(const void *data, size_t size)
    {
        if (size && !out_.write(data, size))
            return false;
        pos_ += size;
        return true;
    }

    // Header fields every entry shares.
    WriteResult commonHeader(const WriterEntry &e, bool isFolder, uint16_t type, LhaMemberHeader &h)
    {
        auto name = storedLhaName(e.name, isFolder, nameBytes_);
        if (!name)
            return WriteResult::failure(WriteStatus::NotSupported, "an LHA header cannot hold the name " + e.name);
        h.fileName = name->fileName;
        h.dirName = name->dirName;
        h.codePage = name->codePage;
        h.utf16FileName = name->utf16FileName;
        h.utf16DirName = name->utf16DirName;
        h.osId = kLhaOsIdUnix;
        h.mtime = headerTime(e.mtime.sec);
        // Permissions only where they differ from what readers assume
        // without them (0644 files, 0755 folders under the usual umask);
        // owners not at all: they mean nothing on another system.
        const uint16_t usual = type == kModeDir ? 0755 : 0644;
        if ((e.mode & 07777) != usual)
            h.unixMode = uint16_t(type | (e.mode & 07777));
        return {};
    }

    static WriteResult headerBytes(const LhaMemberHeader &h, const WriterEntry &e, std::vector<uint8_t> &bytes)
    {
        bytes = buildLevel2Header(h);
        if (bytes.empty()) // a path too long for a 64 KiB header
            return WriteResult::failure(WriteStatus::TooLarge, "name too long for an LHA header: " + e.name);
        return {};
    }

    WriteResult appendHeader(const LhaMemberHeader &h, const WriterEntry &e)
    {
        std::vector<uint8_t> bytes;
        if (WriteResult r = headerBytes(h, e, bytes); !r.ok())
            return r;
        return append(bytes.data(), bytes.size()) ? WriteResult{} : writeFailed();
    }

    WriteResult addFolder(const WriterEntry &e)
    {
        LhaMemberHeader h;
        if (WriteResult r = commonHeader(e, true, kModeDir, h); !r.ok())
            return r;
        std::memcpy(h.method, "-lhd-", 5);
        return appendHeader(h, e);
    }

    // Unix LHA stores a link as a "-lhd-" entry named "name|target" with
    // the link file type in its permission header; lhasa and libarchive
    // restore it as a link.  They end the name at the first "|" (libarchive
    // in the whole path, folders included), so a link whose path holds one
    // cannot be stored: it would come back as another link.
    WriteResult addLink(const WriterEntry &e)
    {
        if (e.name.find('|') != std::string::npos)
            return WriteResult::failure(WriteStatus::NotSupported, "an LHA link cannot be named " + e.name);
        LhaMemberHeader h;
        if (WriteResult r = commonHeader(e, false, kModeLink, h); !r.ok())
            return r;
        const std::optional<std::string> target = lhaNameBytes(e.linkTarget, nameBytes_);
        if (e.linkTarget.empty() || e.linkTarget.find('\xFF') != std::string::npos || !target)
            return WriteResult::failure(WriteStatus::NotSupported, "an LHA link cannot lead to " + e.linkTarget);
        h.fileName += '|';
        h.fileName += *target;
        if (!h.utf16FileName.empty())
            h.utf16FileName += utf8ToUtf16("|" + e.linkTarget);
        h.unixMode = uint16_t(kModeLink | 0777);
        std::memcpy(h.method, "-lhd-", 5);
        return appendHeader(h, e);
    }

    // A file the workers packed in memory.
    WriteResult addPacked(const WriterEntry &e, const PackedMember &m)
    {
        if (m.status != WriteStatus::Ok)
            return WriteResult::failure(m.status, "cannot pack " + e.diskPath.string());
        LhaMemberHeader h;
        if (WriteResult r = commonHeader(e, false, kModeFile, h); !r.ok())
            return r;
        std::memcpy(h.method, lhaMethodId(m.method), 5);
        h.originalSize = m.originalSize;
        h.compressedSize = uint32_t(m.bytes.size());
        h.dataCrc = m.crc;
        if (WriteResult r = appendHeader(h, e); !r.ok())
            return r;
        return append(m.bytes.data(), m.bytes.size()) ? WriteResult{} : writeFailed();
    }

    // A large file, compressed straight into the archive.
    WriteResult addFile(const WriterEntry &e)
    {
        LhaMemberHeader h;
        if (WriteResult r = commonHeader(e, false, kModeFile, h); !r.ok())
            return r;
        MappedFile in;
        if (WriteStatus s = in.open(e.diskPath); s != WriteStatus::Ok)
            return WriteResult::failure(s, "cannot pack " + e.diskPath.string());
        h.originalSize = uint32_t(in.size());
        h.dataCrc = crc16Update(0, in.data(), in.size());

        // The header's size does not depend on the method or the sizes, so
        // the data can follow a provisional header that is patched last.
        std::vector<uint8_t> header;
        if (WriteResult r = headerBytes(h, e, header); !r.ok())
            return r;
        const uint64_t headerAt = pos_;
        if (!append(header.data(), header.size()))
            return writeFailed();
        const uint64_t dataAt = pos_;

        LhaMethod used = method_;
        if (used != LhaMethod::Lh0) {
            ByteSink sink = [&](const uint8_t *p, size_t n) { return append(p, n); };
            EncodeResult res = encodeLhaMember(used, in.data(), in.size(), sink);
            if (res.status == EncodeStatus::SinkFailed)
                return writeFailed();
            if (res.status != EncodeStatus::Ok)
                used = LhaMethod::Lh0; // not smaller: store it as LHA archivers do
        }
        if (used == LhaMethod::Lh0) {
            // The encoder hands over fewer bytes than the file has before it
            // gives up: the file covers them all.
            const uint64_t tried = pos_ - dataAt;
            if (tried > in.size())
                return WriteResult::failure(WriteStatus::Internal, "encoder passed its limit on " + e.name);
            if (tried && !out_.writeAt(dataAt, in.data(), tried))
                return writeFailed();
            if (!append(in.data() + tried, in.size() - tried))
                return writeFailed();
        }
        std::memcpy(h.method, lhaMethodId(used), 5);
        h.compressedSize = uint32_t(pos_ - dataAt);
        header = buildLevel2Header(h);
        return out_.writeAt(headerAt, header.data(), header.size()) ? WriteResult{} : writeFailed();
    }

    base::SeekableOutput &out_;
    LhaMethod method_;
    ParallelPacker &packer_;
    LhaNameBytes nameBytes_;
    uint64_t pos_ = 0; // bytes written so far
};

} // namespace

WriteResult writeLhaArchive(const std::vector<WriterEntry> &entries, const create::WriterOptions &options,
                            base::SeekableOutput &out)
{
    WriteResult result = create::resultBeforeWriting(entries, options, create::WriterHolds{});
    if (!result.ok())
        return result;
    const std::optional<LhaMethod> method = methodNamed(options.method.name);
    if (!method)
        return WriteResult::failure(WriteStatus::NotSupported, "no LHA method " + options.method.name);
    if (entries.empty())
        return WriteResult::failure(WriteStatus::NoFiles, "nothing to pack");
    const bool cp932 = allNamesFitCp932(entries);
    if (options.names == create::NameEncoding::Cp932 && !cp932)
        return WriteResult::failure(WriteStatus::NameEncoding, "a name has no CP932 form");

    ParallelPacker packer(entries, *method);
    ArchiveBuilder builder(out, *method, packer, cp932 ? LhaNameBytes::Cp932 : LhaNameBytes::Utf8);
    for (size_t i = 0; i < entries.size(); ++i)
        if (WriteResult r = builder.add(i, entries[i]); !r.ok())
            return r;
    if (WriteResult r = builder.finish(); !r.ok())
        return r;
    return result;
}

} // namespace qvo::formats::lha
