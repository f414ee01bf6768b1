#include "formats/shared/libarchive_adapter.h"

#include "codecs/crc32.h"
#include "formats/shared/piece_source.h"
#include "formats/rar/rar5_checksums.h"
#include "formats/rar/rar5_encryption.h"
#include "formats/rar/rar5_header_cleanup.h"
#include "formats/rar/rar_volumes.h"
#include "formats/zip/zip_name_markers.h"
#include "text/archive_name_charset.h"
#include "text/archive_names.h"
#include "text/cp932.h"

#include <archive.h>
#include <archive_entry.h>

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

void enableFormats(archive *a, ArchiveFamily family)
{
    switch (family) {
    case ArchiveFamily::Zip:
        archive_read_support_format_zip(a); // central directory first, local headers as fallback
        break;
    case ArchiveFamily::Rar:
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
        break;
    case ArchiveFamily::Lha:
    case ArchiveFamily::Cab:
    case ArchiveFamily::Arj:
        break; // read by their own readers
    case ArchiveFamily::Many:
        archive_read_support_format_zip(a); // central directory first, local headers as fallback
        archive_read_support_format_7zip(a);
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
        archive_read_support_format_tar(a);
        // Built-in decompressors only: no helper programs are started.
        archive_read_support_filter_gzip(a);
        archive_read_support_filter_bzip2(a);
        archive_read_support_filter_xz(a);
        break;
    }
}

// Tells marked (UTF-8) names from raw ones.  For ZIP the central directory
// says which are marked; for other formats a name that is valid UTF-8 is
// taken as UTF-8 (RAR 4 Unicode names; an old CP932 name is seldom valid
// UTF-8).  Raw names are read in the encoding `names` holds for them.
struct NameDecoder {
    const zip::ZipNameMarkers *zip = nullptr;
    const text::ArchiveNameCharset *names = nullptr;

    bool marked(const char *name) const
    {
        std::string_view raw(name ? name : "");
        return zip ? zip->isMarked(raw) : text::isValidUtf8(raw);
    }
    std::string decode(const char *name, bool utf8) const
    {
        std::string_view raw(name ? name : "");
        return utf8 ? text::archiveNameToUtf8(raw, text::NameEncoding::Utf8)
                    : names->decode(raw, text::NameOrigin::Unknown);
    }
};

extract::MemberInfo describe(archive_entry *e, const NameDecoder &entryName)
{
    extract::MemberInfo m;
    const char *name = archive_entry_pathname(e);
    bool utf8 = entryName.marked(name);
    m.name = entryName.decode(name, utf8);
    switch (archive_entry_filetype(e)) {
    case AE_IFDIR:
        m.kind = extract::MemberInfo::Kind::Directory;
        break;
    case AE_IFLNK:
        m.kind = extract::MemberInfo::Kind::Symlink;
        // A link target is written like its member's name.
        m.linkTarget = entryName.decode(archive_entry_symlink(e), utf8);
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

int32_t openArchive(archive *a, const std::filesystem::path &path, ArchiveFamily family, bool &isRarSet,
                    std::string &lastVolume, PieceSource &pieces, uint64_t &rarStart)
{
    isRarSet = false;
    rarStart = 0;
    if (family == ArchiveFamily::Rar || family == ArchiveFamily::Many) {
        rar::RarVolumeInfo vol = rar::readRarVolumeInfo(path);
        if (vol.isVolume) {
            if (!vol.isFirstVolume)
                return archivers::kErrMissingVolume; // a later volume alone cannot be read
            isRarSet = true;
            std::vector<std::string> volumes = rar::findRarVolumes(path);
            lastVolume = volumes.back();
            std::vector<const char *> names;
            for (const std::string &v : volumes)
                names.push_back(v.c_str());
            names.push_back(nullptr);
            if (archive_read_open_filenames(a, names.data(), kBlockSize) != ARCHIVE_OK)
                return archivers::kErrOpenArchive;
            return archivers::kOk;
        }
        std::vector<rar::ArchivePiece> cleaned = rar::rar5CleanLayout(path);
        if (!cleaned.empty())
            return pieces.open(a, path, std::move(cleaned)) == ARCHIVE_OK ? archivers::kOk : archivers::kErrOpenArchive;
        std::error_code ec;
        const uint64_t size = std::filesystem::file_size(path, ec);
        if (family == ArchiveFamily::Rar && !ec && (rarStart = rar::rarSelfExtractorStart(path)) > 0) {
            std::vector<rar::ArchivePiece> archiveOnly{{rarStart, size - rarStart, {}}};
            return pieces.open(a, path, std::move(archiveOnly)) == ARCHIVE_OK ? archivers::kOk
                                                                              : archivers::kErrOpenArchive;
        }
    }
    if (archive_read_open_filename(a, path.c_str(), kBlockSize) != ARCHIVE_OK)
        return archivers::kErrOpenArchive;
    return archivers::kOk;
}

} // namespace

int32_t readWithLibarchive(const std::filesystem::path &archivePath, ArchiveFamily family,
                           const zip::ZipNameMarkers *zipNameMarkers, const std::string &chosenCharset,
                           extract::ExtractSink &sink)
{
    static const zip::ZipNameMarkers kNoMarkers;
    const zip::ZipNameMarkers &zipMarkers = zipNameMarkers ? *zipNameMarkers : kNoMarkers;
    // Other formats are read as a stream: their raw names cannot all be
    // seen before the first member, so they stay CP932 unless chosen.
    const text::ArchiveNameCharset streamedNames(chosenCharset);

    Utf8LocaleScope locale;
    PieceSource pieces; // outlives the handle that reads from it
    ArchiveHandle h;
    if (!h.a)
        return archivers::kErrInternal;
    enableFormats(h.a, family);

    bool isRarSet = false;
    std::string lastVolume;
    uint64_t rarStart = 0;
    int32_t opened = openArchive(h.a, archivePath, family, isRarSet, lastVolume, pieces, rarStart);
    if (opened != archivers::kOk)
        return opened;

    std::vector<char> buf(kBufferSize);
    int32_t result = archivers::kOk;
    int retries = 0;
    size_t members = 0;
    bool dataFailed = false;
    bool zipMarkersChecked = false;
    std::optional<rar::Rar5Checksums> rar5Crcs; // read when the first RAR 5 member shows up
    for (;;) {
        archive_entry *e = nullptr;
        int r = archive_read_next_header(h.a, &e);
        if (r == ARCHIVE_EOF)
            break;
        if (r == ARCHIVE_RETRY && ++retries < kMaxRetries)
            continue;
        if (r == ARCHIVE_RETRY || r < ARCHIVE_WARN || !e) {
            if (archive_read_has_encrypted_entries(h.a) > 0)
                result = archivers::kErrEncrypted;
            else if (isRarSet && rar::rarVolumeHasNext(lastVolume))
                result = archivers::kErrMissingVolume;
            else
                result = members == 0 ? archivers::kErrOpenArchive : archivers::kErrCorrupt;
            break;
        }
        retries = 0;
        ++members;
        NameDecoder entryName{nullptr, &streamedNames};
        if ((archive_format(h.a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP) {
            zipMarkersChecked = true;
            if (zipMarkers.parsed)
                entryName = {&zipMarkers, &zipMarkers.names};
        }
        extract::MemberInfo info = describe(e, entryName);
        if (const char *target = archive_entry_hardlink(e)) {
            // Another name for a file extracted earlier; the sink links or
            // copies it.
            info.kind = extract::MemberInfo::Kind::Hardlink;
            info.linkTarget = entryName.decode(target, entryName.marked(target));
            info.size.reset();
        }
        std::optional<uint32_t> expectedCrc;
        if (archive_format(h.a) == ARCHIVE_FORMAT_RAR_V5 && info.kind != extract::MemberInfo::Kind::Directory) {
            if (!rar5Crcs)
                rar5Crcs = rar::Rar5Checksums::read(isRarSet ? rar::findRarVolumes(archivePath)
                                                        : std::vector<std::string>{archivePath.string()},
                                               rarStart);
            const char *raw = archive_entry_pathname(e);
            expectedCrc = rar5Crcs->next(raw ? raw : "");
        }
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
    // RAR 5 encryption shows only as members that fail to decode.
    if ((result != archivers::kOk || dataFailed) && result != archivers::kErrEncrypted && family != ArchiveFamily::Zip
        && rar::rar5HasEncryption(archivePath))
        return archivers::kErrEncrypted;
    // A member cut off at the end of the last volume found means the set
    // goes on in a volume that is not there.
    if (result == archivers::kOk && dataFailed && isRarSet && rar::rarVolumeHasNext(lastVolume))
        result = archivers::kErrMissingVolume;
    if (result == archivers::kOk && zipMarkersChecked && !zipMarkers.parsed && !zipMarkers.tooLarge)
        result = archivers::kErrCorrupt; // no readable central directory: members may be missing
    if (result == archivers::kOk && members == 0 && zipMarkers.emptyWithData)
        result = archivers::kErrCorrupt; // "empty", after data that is no member
    return result;
}

} // namespace qvo::formats::shared
