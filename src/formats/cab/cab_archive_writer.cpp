#include "formats/cab/cab_archive_writer.h"

#include "codecs/deflate/mszip_compressor.h"
#include "codecs/lzx/lzx_compressor.h"
#include "create/source_tree.h"
#include "formats/cab/cabinet_writer.h"
#include "formats/cab/stored_compressor.h"
#include "text/cp932.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>

namespace qvo::formats::cab {

namespace {

using create::WriteResult;
using create::WriterEntry;
using create::WriteStatus;

constexpr int kMinLzxWindow = 15;
constexpr int kMaxLzxWindow = 21;

// The folder compressor of a method; empty for a method cabinets lack.
CompressorFactory compressorFactory(const create::WriterMethod &method)
{
    if (method.name == "mszip")
        return [] { return codecs::deflate::makeMszipCompressor(); };
    if (method.name == "stored")
        return [] { return makeStoredCompressor(); };
    if (method.name == "lzx" && method.level >= kMinLzxWindow && method.level <= kMaxLzxWindow)
        return [w = method.level] { return codecs::lzx::makeLzxCompressor(w); };
    return {};
}

std::string counted(size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Folders that no kept file lies in: a cabinet cannot hold them.
size_t emptyFolders(const std::vector<WriterEntry> &entries, std::vector<std::string> kept)
{
    std::sort(kept.begin(), kept.end());
    size_t n = 0;
    for (const WriterEntry &e : entries) {
        if (e.kind != WriterEntry::Kind::Folder)
            continue;
        const std::string prefix = e.name + "/";
        auto it = std::lower_bound(kept.begin(), kept.end(), prefix);
        n += it == kept.end() || !it->starts_with(prefix);
    }
    return n;
}

// The cabinet's file records, in the order of `entries`; what a cabinet
// cannot hold goes into `result.leftOut`.
WriteResult makeFileRecords(const std::vector<WriterEntry> &entries, bool cp932, std::vector<CabFileEntry> &files,
                            WriteResult &result)
{
    std::vector<std::string> keptNames;
    size_t linksLeftOut = 0;
    for (const WriterEntry &source : entries) {
        if (source.kind == WriterEntry::Kind::Folder)
            continue;
        WriterEntry e = source;
        if (e.kind == WriterEntry::Kind::Link) {
            // A link to nothing or to a folder has no content to keep.
            if (!e.linkTargetIsFile) {
                ++linksLeftOut;
                continue;
            }
            std::string error;
            if (!create::toLinkedFile(e, error))
                return WriteResult::failure(WriteStatus::ReadError, error);
        }
        CabFileEntry f;
        bool utf8 = false;
        std::optional<std::string> name = cabName(e.name, cp932, utf8);
        if (!name)
            return WriteResult::failure(WriteStatus::NameEncoding, "no CP932 form for " + e.name);
        f.name = std::move(*name);
        f.size = e.size;
        f.source = e.diskPath;
        dosDateTime(e.mtime.sec, f.date, f.time);
        f.attribs = kAttribArchive;
        if (!(e.mode & S_IWUSR))
            f.attribs |= kAttribReadOnly;
        if (utf8)
            f.attribs |= kAttribNameIsUtf8;
        files.push_back(std::move(f));
        keptNames.push_back(e.name);
    }
    if (linksLeftOut)
        result.leftOut.push_back(counted(linksLeftOut, "link", "links"));
    if (size_t n = emptyFolders(entries, std::move(keptNames)))
        result.leftOut.push_back(counted(n, "empty folder", "empty folders"));
    return {};
}

} // namespace

std::optional<std::string> cabName(const std::string &name, bool cp932, bool &utf8)
{
    utf8 = false;
    std::optional<std::string> bytes = cp932 ? text::nameInCp932(name) : name;
    if (!bytes)
        return std::nullopt;
    // No CP932 byte is '/' (trail bytes start at 0x40).
    std::string out = std::move(*bytes);
    std::replace(out.begin(), out.end(), '/', '\\');
    // Bytes that are not UTF-8 (a name in a legacy code page) are stored as
    // they are, without claiming UTF-8.
    utf8 = !cp932 && !text::isAscii(name) && text::isValidUtf8(name);
    return out;
}

void dosDateTime(int64_t unixSeconds, uint16_t &date, uint16_t &time)
{
    time_t t = static_cast<time_t>(unixSeconds);
    struct tm tm {};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80) {
        date = (1 << 5) | 1; // 1980-01-01 00:00:00
        time = 0;
        return;
    }
    if (tm.tm_year > 207) {
        date = uint16_t(127 << 9 | 12 << 5 | 31); // 2107-12-31 23:59:58
        time = uint16_t(23 << 11 | 59 << 5 | 29);
        return;
    }
    date = uint16_t((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    time = uint16_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
}

WriteResult writeCabArchive(const std::vector<WriterEntry> &entries, const create::WriterOptions &options,
                            base::SeekableOutput &out)
{
    WriteResult result = create::resultBeforeWriting(entries, options, create::WriterHolds{});
    if (!result.ok())
        return result;
    const CompressorFactory factory = compressorFactory(options.method);
    if (!factory)
        return WriteResult::failure(WriteStatus::NotSupported, "no cabinet method " + options.method.name + " " +
                                                                   std::to_string(options.method.level));
    std::vector<CabFileEntry> files;
    if (WriteResult r = makeFileRecords(entries, options.names == create::NameEncoding::Cp932, files, result);
        !r.ok())
        return r;
    CabLimits limits;
    if (options.method.name == "lzx")
        limits.maxFramesPerFolder = uint32_t(codecs::lzx::kLzxStreamLimit / codecs::kFrameSize);
    if (WriteResult r = writeCabinet(files, factory, out, limits); !r.ok())
        return r;
    return result;
}

} // namespace qvo::formats::cab
