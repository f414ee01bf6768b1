// Create command:  (-r | -j) [-q] [-N] [--cp932-names] "ARCHIVE" *.*
//
//   -r    recurse into folders, store paths relative to the current
//         directory and one entry per folder ("name/"), so empty folders
//         survive
//   -j    recurse too, but store files under their base names only, without
//         folders; two files with the same base name fail with
//         kErrNameClash and nothing is written
//   -q    quiet (there is no output either way; accepted for the callers)
//   -N    N = 0 stores, 1 (fast) to 9 (small) deflate; default 6
//   --cp932-names  names (and link targets) in CP932 without flag bit 11
//         (QVO_SWITCH_CP932_NAMES); a name without an exact CP932 form
//         fails with kErrNameEncoding.  By default names are UTF-8, marked.
//   *.*   every entry of the current directory, dot files and names without
//         a dot included
// Exactly one of -r and -j; each switch at most once, all before the
// archive.  Anything else is kErrCommandLine and nothing is written.
//
// Names are composed to NFC unless two would then be one.
//
// Symbolic links are stored as links (type in the Unix attributes, target as
// data).  With -j a link to a file is stored as that file's content: its
// flattened name would make a relative target point elsewhere.
//
// The archive is written to a temporary file beside the target and renamed
// over it only when complete.
#include "archivers/zip32j/create.h"

#include "archivers/include/qvo_archiver.h"
#include "create/atomic_output_file.h"
#include "create/composed_source_names.h"
#include "create/source_tree.h"
#include "formats/zip/member_compressor.h"
#include "codecs/deflate/deflate_encoder.h"
#include "formats/zip/zip_format.h"
#include "formats/zip/zip_writer.h"
#include "text/cp932.h"

#include <optional>
#include <unordered_set>

namespace qvo::archivers::zip32j {

namespace fs = std::filesystem;

namespace {

constexpr int kDefaultLevel = 6;

struct CreateOptions {
    bool keepPaths = true;
    int level = kDefaultLevel;
    bool cp932Names = false;
    fs::path archive;
};

std::optional<CreateOptions> parseCommand(const std::vector<command::Token> &tokens)
{
    CreateOptions o;
    bool haveMode = false, haveQuiet = false, haveLevel = false, haveCp932 = false;
    size_t i = 0;
    for (; i < tokens.size() && command::isSwitch(tokens[i]); ++i) {
        const std::string &s = tokens[i].text;
        if (s == "-r" || s == "-j") {
            if (haveMode)
                return std::nullopt;
            haveMode = true;
            o.keepPaths = s == "-r";
        } else if (s == "-q") {
            if (haveQuiet)
                return std::nullopt;
            haveQuiet = true;
        } else if (s.size() == 2 && s[1] >= '0' && s[1] <= '9') {
            if (haveLevel)
                return std::nullopt;
            haveLevel = true;
            o.level = s[1] - '0';
        } else if (s == QVO_SWITCH_CP932_NAMES) {
            if (haveCp932)
                return std::nullopt;
            haveCp932 = o.cp932Names = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveMode || tokens.size() != i + 2)
        return std::nullopt;
    const std::string &archive = tokens[i].text;
    if (archive.empty() || archive.back() == '/' || tokens[i + 1].text != "*.*")
        return std::nullopt;
    o.archive = archive;
    return o;
}

formats::zip::EntryMeta metaOf(const create::SourceEntry &e, bool asFile, const CreateOptions &o)
{
    formats::zip::EntryMeta m;
    m.name = e.name;
    m.utf8Name = !o.cp932Names;
    m.mtimeSec = e.mtimeSec;
    m.mode = e.mode;
    if (asFile)
        m.kind = formats::zip::EntryMeta::Kind::File;
    else if (e.kind == create::SourceEntry::Kind::Directory)
        m.kind = formats::zip::EntryMeta::Kind::Directory;
    else if (e.kind == create::SourceEntry::Kind::Symlink)
        m.kind = formats::zip::EntryMeta::Kind::Symlink;
    return m;
}

// One archive entry: a source entry and whether its data comes from the
// compressor (files, and links stored as their file's content).
struct PlannedEntry {
    const create::SourceEntry *source;
    bool hasData;
    size_t firstJob;
    size_t jobCount;
};

int32_t writeFileEntry(formats::zip::ZipWriter &w, formats::zip::MemberCompressor &mc, const PlannedEntry &p,
                       const CreateOptions &o)
{
    const int level = o.level;
    formats::zip::EntryMeta meta = metaOf(*p.source, true, o);
    uint16_t flags = level > 0 ? formats::zip::ZipWriter::deflateFlags(level) : 0;
    if (p.jobCount == 1) {
        formats::zip::CompressResult r = mc.take();
        if (r.error)
            return r.error;
        formats::zip::DataInfo info{r.method, r.crc, r.data.size(), r.length};
        bool deflated = r.method == formats::zip::kMethodDeflate;
        if (w.addEntry(meta, info, r.data, deflated ? flags : 0))
            return kOk;
        return w.tooLarge() ? kErrTooLarge : kErrWrite;
    }

    uint64_t size = p.source->size;
    uint16_t method = level == 0 ? formats::zip::kMethodStore : formats::zip::kMethodDeflate;
    uint64_t bound = level == 0 ? size : codecs::deflate::chunkedDeflateBound(size);
    if (!w.beginEntry(meta, method, level == 0 ? 0 : flags, size, bound))
        return w.tooLarge() ? kErrTooLarge : kErrWrite;
    formats::zip::DataInfo info{method, 0, 0, 0};
    for (size_t j = 0; j < p.jobCount; ++j) {
        formats::zip::CompressResult r = mc.take();
        if (r.error)
            return r.error;
        info.crc = codecs::deflate::crc32Combine(info.crc, r.crc, r.length);
        info.size += r.length;
        info.compressedSize += r.data.size();
        if (!w.appendData(r.data))
            return kErrWrite;
    }
    if (!w.endEntry(info))
        return w.tooLarge() ? kErrTooLarge : kErrWrite;
    return kOk;
}

int32_t writeArchive(formats::zip::ZipWriter &w, const std::vector<PlannedEntry> &plan,
                     std::vector<formats::zip::CompressJob> jobs, const CreateOptions &o)
{
    formats::zip::MemberCompressor mc(o.level, std::move(jobs));
    for (const PlannedEntry &p : plan) {
        if (p.hasData) {
            if (int32_t rc = writeFileEntry(w, mc, p, o))
                return rc;
            continue;
        }
        formats::zip::EntryMeta meta = metaOf(*p.source, false, o);
        std::span<const uint8_t> data;
        if (meta.kind == formats::zip::EntryMeta::Kind::Symlink)
            data = std::span(reinterpret_cast<const uint8_t *>(p.source->linkTarget.data()),
                             p.source->linkTarget.size());
        formats::zip::DataInfo info{formats::zip::kMethodStore, codecs::deflate::crc32(0, data), data.size(), data.size()};
        if (!w.addEntry(meta, info, data))
            return w.tooLarge() ? kErrTooLarge : kErrWrite;
    }
    return w.finish() ? kOk : kErrWrite;
}

// Names and link targets in CP932; false when one has no exact CP932 form.
bool namesToCp932(std::vector<create::SourceEntry> &entries)
{
    for (create::SourceEntry &e : entries) {
        std::optional<std::string> name = text::nameInCp932(e.name);
        std::optional<std::string> target = text::nameInCp932(e.linkTarget);
        if (!name || !target)
            return false;
        e.name = std::move(*name);
        e.linkTarget = std::move(*target);
    }
    return true;
}

bool isOutputFile(const create::SourceEntry &e, std::initializer_list<fs::path> outputs)
{
    if (e.kind != create::SourceEntry::Kind::File)
        return false;
    std::string base = e.diskPath.filename().string();
    for (const fs::path &p : outputs) {
        std::error_code ec;
        if (p.filename() == base && fs::equivalent(e.diskPath, p, ec))
            return true;
    }
    return false;
}

} // namespace

int32_t runCreate(const std::vector<command::Token> &tokens)
{
    std::optional<CreateOptions> opt = parseCommand(tokens);
    if (!opt)
        return kErrCommandLine;
    std::error_code ec;
    fs::path target = fs::absolute(opt->archive, ec);
    if (ec || fs::is_directory(target, ec))
        return kErrWrite;

    create::AtomicOutputFile out;
    std::string error;
    if (!out.open(target, error))
        return kErrWrite;

    create::SourceWalkOptions walk;
    walk.recurse = true;
    walk.keepPaths = opt->keepPaths;
    std::vector<create::SourceEntry> entries;
    if (!create::collectSourceTree(".", walk, entries, error))
        return kErrNoFiles;
    // The archive and its temporary file may lie inside the packed folder.
    // Only entries of the same base name can be them, so only those are
    // checked (a walk-wide exclude list costs two stats per entry).
    std::erase_if(entries, [&](const create::SourceEntry &e) {
        return isOutputFile(e, {target, out.tempPath()});
    });
    create::composeSourceNames(entries);
    if (opt->cp932Names && !namesToCp932(entries))
        return kErrNameEncoding;

    std::vector<PlannedEntry> plan;
    std::vector<formats::zip::CompressJob> jobs;
    std::unordered_set<std::string> names;
    for (const create::SourceEntry &e : entries) {
        if (!opt->keepPaths) {
            if (e.kind == create::SourceEntry::Kind::Directory)
                continue;
            if (!names.insert(e.name).second)
                return kErrNameClash;
        }
        bool hasData = e.kind == create::SourceEntry::Kind::File ||
                       (!opt->keepPaths && e.kind == create::SourceEntry::Kind::Symlink && e.linkTargetIsFile);
        PlannedEntry p{&e, hasData, jobs.size(), 0};
        if (hasData) {
            formats::zip::appendJobs(e.diskPath, e.size, jobs);
            p.jobCount = jobs.size() - p.firstJob;
        }
        plan.push_back(p);
    }
    if (plan.empty())
        return kErrNoFiles;

    formats::zip::ZipWriter writer(out);
    if (int32_t rc = writeArchive(writer, plan, std::move(jobs), *opt))
        return rc;
    return out.commit(error) ? kOk : kErrWrite;
}

} // namespace qvo::archivers::zip32j
