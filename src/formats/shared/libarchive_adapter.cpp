#include "formats/shared/libarchive_adapter.h"

#include "codecs/crc32.h"
#include "formats/shared/piece_source.h"
#include "text/archive_name_charset.h"
#include "text/archive_names.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <locale.h>
#include <vector>

namespace qvo::formats::shared {
namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kBufferSize = 64 * 1024;
constexpr int kMaxRetries = 16;

// libarchive converts names to the calling thread's locale.  Reading under
// C.UTF-8 makes names that the archive marks as Unicode (ZIP bit 11, a
// ZIP 0x7075 field whose CRC matches, RAR Unicode names, RAR 5, 7z) come
// out as UTF-8 whatever locale the host program runs in, while unmarked
// names keep their raw bytes (no header charset is set: a failed
// conversion would lose them), which we decode as CP932.
class Utf8LocaleScope {
public:
    Utf8LocaleScope()
    {
        loc_ = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (loc_)
            old_ = uselocale(loc_);
    }
    ~Utf8LocaleScope()
    {
        if (loc_) {
            uselocale(old_);
            freelocale(loc_);
        }
    }
    Utf8LocaleScope(const Utf8LocaleScope &) = delete;
    Utf8LocaleScope &operator=(const Utf8LocaleScope &) = delete;

private:
    locale_t loc_ = static_cast<locale_t>(0);
    locale_t old_ = static_cast<locale_t>(0);
};

struct ArchiveHandle {
    archive *a = archive_read_new();
    ~ArchiveHandle()
    {
        if (a)
            archive_read_free(a);
    }
};

// libarchive answers null for a name or link target it does not have.
std::string_view orEmpty(const char *text)
{
    return text ? std::string_view(text) : std::string_view();
}

extract::MemberInfo describe(archive_entry *e, const MemberNames &entryName)
{
    extract::MemberInfo m;
    const std::string_view name = orEmpty(archive_entry_pathname(e));
    bool utf8 = entryName.marked(name);
    m.name = entryName.decode(name, utf8);
    switch (archive_entry_filetype(e)) {
    case AE_IFDIR:
        m.kind = extract::MemberInfo::Kind::Directory;
        break;
    case AE_IFLNK:
        m.kind = extract::MemberInfo::Kind::Symlink;
        // A link target is written like its member's name.
        m.linkTarget = entryName.decode(orEmpty(archive_entry_symlink(e)), utf8);
        break;
    case AE_IFREG:
        break;
    default:
        m.isDeviceOrFifo = true;
        break;
    }
    if (m.kind == extract::MemberInfo::Kind::File && archive_entry_size_is_set(e) && archive_entry_size(e) >= 0)
        m.size = static_cast<uint64_t>(archive_entry_size(e));
    if (archive_entry_mtime_is_set(e)) {
        m.mtimeSec = static_cast<int64_t>(archive_entry_mtime(e));
        long ns = archive_entry_mtime_nsec(e);
        m.mtimeNsec = ns >= 0 && ns < 1000000000L ? static_cast<uint32_t>(ns) : 0;
    }
    m.unixMode = static_cast<uint32_t>(archive_entry_perm(e)) & 07777;
    return m;
}

// Returns false when the member's data failed: a read error, more or less
// data than the header declares, or a CRC-32 that differs from `expectedCrc`.
bool extractData(archive *a, const extract::MemberInfo &info, std::optional<uint32_t> expectedCrc,
                 extract::ExtractSink &sink, std::vector<char> &buf)
{
    uint64_t total = 0;
    uint32_t crc = 0;
    for (;;) {
        la_ssize_t n = archive_read_data(a, buf.data(), buf.size());
        if (n == 0)
            break;
        if (n < 0 || (info.size && total + static_cast<uint64_t>(n) > *info.size)) {
            // Includes CRC mismatches, truncation and unsupported methods;
            // a decoder that runs past the declared size may never stop.
            sink.endMember(false, archivers::kErrCorrupt);
            return false;
        }
        total += static_cast<uint64_t>(n);
        if (expectedCrc)
            crc = codecs::crc32(crc, buf.data(), static_cast<size_t>(n));
        int32_t w = sink.write(buf.data(), static_cast<size_t>(n));
        if (w != archivers::kOk) {
            sink.endMember(false, w);
            return w != archivers::kErrSpaceLimit && w != archivers::kErrWrite;
        }
    }
    bool ok = (!info.size || *info.size == total) && (!expectedCrc || crc == *expectedCrc);
    sink.endMember(ok, archivers::kErrCorrupt);
    return ok;
}

int32_t openArchive(archive *a, const std::filesystem::path &path, std::span<LibarchiveFormat *const> formats,
                    PieceSource &pieces)
{
    for (LibarchiveFormat *format : formats)
        if (std::optional<int32_t> opened = format->open(a, pieces))
            return *opened;
    if (archive_read_open_filename(a, path.c_str(), kBlockSize) != ARCHIVE_OK)
        return archivers::kErrOpenArchive;
    return archivers::kOk;
}

// The format libarchive read the archive (or its current member) as.
LibarchiveFormat *formatOf(archive *a, std::span<LibarchiveFormat *const> formats)
{
    const int code = archive_format(a);
    for (LibarchiveFormat *format : formats)
        if (format->reads(code))
            return format;
    return nullptr;
}

} // namespace

int32_t readWithLibarchive(const std::filesystem::path &archivePath, std::span<LibarchiveFormat *const> formats,
                           const std::string &chosenCharset, extract::ExtractSink &sink)
{
    const text::ArchiveNameCharset streamedNames(chosenCharset);
    const MemberNames defaultNames(streamedNames);

    Utf8LocaleScope locale;
    PieceSource pieces; // outlives the handle that reads from it
    ArchiveHandle h;
    if (!h.a)
        return archivers::kErrInternal;
    for (LibarchiveFormat *format : formats)
        format->enable(h.a);
    int32_t opened = openArchive(h.a, archivePath, formats, pieces);
    if (opened != archivers::kOk)
        return opened;

    std::vector<char> buf(kBufferSize);
    std::vector<size_t> membersOf(formats.size());
    int32_t result = archivers::kOk;
    int retries = 0;
    size_t members = 0;
    bool dataFailed = false;
    for (;;) {
        archive_entry *e = nullptr;
        int r = archive_read_next_header(h.a, &e);
        if (r == ARCHIVE_EOF)
            break;
        if (r == ARCHIVE_RETRY && ++retries < kMaxRetries)
            continue;
        if (r == ARCHIVE_RETRY || r < ARCHIVE_WARN || !e) {
            std::optional<int32_t> known;
            if (archive_read_has_encrypted_entries(h.a) > 0)
                known = archivers::kErrEncrypted;
            for (size_t k = 0; k < formats.size() && !known; ++k)
                known = formats[k]->headerFailure();
            result = known ? *known : members == 0 ? archivers::kErrOpenArchive : archivers::kErrCorrupt;
            break;
        }
        retries = 0;
        ++members;
        LibarchiveFormat *format = formatOf(h.a, formats);
        if (format)
            ++membersOf[size_t(std::find(formats.begin(), formats.end(), format) - formats.begin())];
        const MemberNames *formatNames = format ? format->names() : nullptr;
        const MemberNames &entryName = formatNames ? *formatNames : defaultNames;
        extract::MemberInfo info = describe(e, entryName);
        if (const char *target = archive_entry_hardlink(e)) {
            // Another name for a file extracted earlier; the sink links or
            // copies it.
            info.kind = extract::MemberInfo::Kind::Hardlink;
            info.linkTarget = entryName.decode(target, entryName.marked(target));
            info.size.reset();
        }
        std::optional<uint32_t> expectedCrc;
        if (format)
            expectedCrc = format->expectedCrc(h.a, e, info);
        if (archive_entry_is_encrypted(e)) {
            sink.recordFailure(archivers::kErrEncrypted);
            continue;
        }
        if (sink.beginMember(info) == archivers::kOk && info.kind == extract::MemberInfo::Kind::File
            && !extractData(h.a, info, expectedCrc, sink, buf))
            dataFailed = true;
        if (sink.stopped())
            break;
    }
    const int code = archive_format(h.a);
    for (size_t k = 0; k < formats.size(); ++k) {
        const ReadSummary summary{h.a, formats[k]->reads(code), members, membersOf[k], dataFailed};
        result = formats[k]->verdict(result, summary);
    }
    return result;
}

} // namespace qvo::formats::shared
