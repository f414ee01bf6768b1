#include "formats/zip/zip_archive_writer.h"

#include "codecs/crc32.h"
#include "codecs/deflate/deflate_encoder.h"
#include "formats/zip/member_compressor.h"
#include "formats/zip/zip_format.h"
#include "formats/zip/zip_writer.h"
#include "text/cp932.h"

#include <optional>

namespace qvo::formats::zip {

namespace {

using create::WriteResult;
using create::WriterEntry;
using create::WriteStatus;

// Info-ZIP's level: 0 stores, 1 (fast) to 9 (small) deflate.
std::optional<int> zipLevel(const create::WriterMethod &method)
{
    if (method.name == "store")
        return 0;
    if (method.name == "deflate" && method.level >= 1 && method.level <= 9)
        return method.level;
    return std::nullopt;
}

// One archive entry: its name and link target as stored, and for a file
// the compression jobs of its data.
struct PlannedEntry {
    const WriterEntry *source;
    std::string name;
    std::string linkTarget;
    size_t firstJob = 0;
    size_t jobCount = 0;
};

EntryMeta metaOf(const PlannedEntry &p, bool cp932)
{
    EntryMeta m;
    m.name = p.name;
    m.utf8Name = !cp932;
    m.mtimeSec = p.source->mtime.sec;
    m.mode = p.source->mode;
    switch (p.source->kind) {
    case WriterEntry::Kind::File: m.kind = EntryMeta::Kind::File; break;
    case WriterEntry::Kind::Folder: m.kind = EntryMeta::Kind::Directory; break;
    case WriterEntry::Kind::Link: m.kind = EntryMeta::Kind::Symlink; break;
    }
    return m;
}

WriteResult recordFailed(WriteStatus status, const PlannedEntry &p)
{
    return WriteResult::failure(status, status == WriteStatus::TooLarge ? "too large for ZIP: " + p.name
                                                                          : "cannot write the archive");
}

class ArchiveBuilder {
public:
    ArchiveBuilder(base::SeekableOutput &out, int level, bool cp932, std::vector<CompressJob> jobs)
        : writer_(out), compressor_(level, std::move(jobs)), level_(level), cp932_(cp932)
    {
    }

    WriteResult add(const PlannedEntry &p)
    {
        if (p.source->kind == WriterEntry::Kind::File)
            return p.jobCount == 1 ? addWhole(p) : addChunked(p);
        // A folder has no data, a link its target.
        const std::span<const uint8_t> data(reinterpret_cast<const uint8_t *>(p.linkTarget.data()),
                                            p.linkTarget.size());
        const DataInfo info{kMethodStore, codecs::crc32(0, data), data.size(), data.size()};
        const WriteStatus s = writer_.addEntry(metaOf(p, cp932_), info, data);
        return s == WriteStatus::Ok ? WriteResult{} : recordFailed(s, p);
    }

    WriteResult finish()
    {
        const WriteStatus s = writer_.finish();
        return s == WriteStatus::Ok ? WriteResult{} : WriteResult::failure(s, "cannot write the archive");
    }

private:
    uint16_t deflateFlags() const { return level_ > 0 ? ZipWriter::deflateFlags(level_) : 0; }

    WriteResult take(const PlannedEntry &p, CompressResult &r)
    {
        r = compressor_.take();
        if (r.status != WriteStatus::Ok)
            return WriteResult::failure(r.status, "cannot pack " + p.source->diskPath.string());
        return {};
    }

    // A file compressed (or stored) in one piece.
    WriteResult addWhole(const PlannedEntry &p)
    {
        CompressResult r;
        if (WriteResult t = take(p, r); !t.ok())
            return t;
        const DataInfo info{r.method, r.crc, r.data.size(), r.length};
        const uint16_t flags = r.method == kMethodDeflate ? deflateFlags() : 0;
        const WriteStatus s = writer_.addEntry(metaOf(p, cp932_), info, r.data, flags);
        return s == WriteStatus::Ok ? WriteResult{} : recordFailed(s, p);
    }

    // A large file in chunks that join into one member: its CRC is
    // combined from theirs and its header patched at the end.
    WriteResult addChunked(const PlannedEntry &p)
    {
        const uint64_t size = p.source->size;
        const uint16_t method = level_ == 0 ? kMethodStore : kMethodDeflate;
        const uint64_t bound = level_ == 0 ? size : codecs::deflate::chunkedDeflateBound(size);
        WriteStatus s = writer_.beginEntry(metaOf(p, cp932_), method, deflateFlags(), size, bound);
        if (s != WriteStatus::Ok)
            return recordFailed(s, p);
        DataInfo info{method, 0, 0, 0};
        for (size_t j = 0; j < p.jobCount; ++j) {
            CompressResult r;
            if (WriteResult t = take(p, r); !t.ok())
                return t;
            info.crc = codecs::crc32Combine(info.crc, r.crc, r.length);
            info.size += r.length;
            info.compressedSize += r.data.size();
            if ((s = writer_.appendData(r.data)) != WriteStatus::Ok)
                return recordFailed(s, p);
        }
        s = writer_.endEntry(info);
        return s == WriteStatus::Ok ? WriteResult{} : recordFailed(s, p);
    }

    ZipWriter writer_;
    MemberCompressor compressor_;
    int level_;
    bool cp932_;
};

} // namespace

WriteResult writeZipArchive(const std::vector<WriterEntry> &entries, const create::WriterOptions &options,
                            base::SeekableOutput &out)
{
    WriteResult result = create::resultBeforeWriting(entries, options, create::WriterHolds{});
    if (!result.ok())
        return result;
    const std::optional<int> level = zipLevel(options.method);
    if (!level)
        return WriteResult::failure(WriteStatus::NotSupported, "no ZIP method " + options.method.name + " " +
                                                                   std::to_string(options.method.level));
    if (entries.empty())
        return WriteResult::failure(WriteStatus::NoFiles, "nothing to pack");

    const bool cp932 = options.names == create::NameEncoding::Cp932;
    std::vector<PlannedEntry> plan;
    plan.reserve(entries.size());
    std::vector<CompressJob> jobs;
    for (const WriterEntry &e : entries) {
        PlannedEntry p{&e, e.name, e.kind == WriterEntry::Kind::Link ? e.linkTarget : std::string()};
        if (cp932) {
            std::optional<std::string> name = text::nameInCp932(p.name);
            std::optional<std::string> target = text::nameInCp932(p.linkTarget);
            if (!name || !target)
                return WriteResult::failure(WriteStatus::NameEncoding, "no CP932 form for " + e.name);
            p.name = std::move(*name);
            p.linkTarget = std::move(*target);
        }
        if (e.kind == WriterEntry::Kind::File) {
            p.firstJob = jobs.size();
            appendJobs(e.diskPath, e.size, jobs);
            p.jobCount = jobs.size() - p.firstJob;
        }
        plan.push_back(std::move(p));
    }

    ArchiveBuilder builder(out, *level, cp932, std::move(jobs));
    for (const PlannedEntry &p : plan)
        if (WriteResult r = builder.add(p); !r.ok())
            return r;
    if (WriteResult r = builder.finish(); !r.ok())
        return r;
    return result;
}

} // namespace qvo::formats::zip
