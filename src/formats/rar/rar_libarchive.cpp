#include "formats/rar/rar_libarchive.h"

#include "archivers/include/qvo_archiver.h"
#include "formats/rar/rar5_encryption.h"
#include "formats/rar/rar5_header_cleanup.h"
#include "formats/rar/rar_volumes.h"
#include "formats/shared/piece_source.h"

#include <archive.h>
#include <archive_entry.h>

#include <vector>

namespace qvo::formats::rar {
namespace {

constexpr size_t kBlockSize = 64 * 1024;

} // namespace

RarLibarchive::RarLibarchive(const std::filesystem::path &archive, bool searchStub)
    : archive_(archive), searchStub_(searchStub)
{
}

void RarLibarchive::enable(archive *a)
{
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
}

bool RarLibarchive::reads(int libarchiveFormat) const
{
    return (libarchiveFormat & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAR
           || libarchiveFormat == ARCHIVE_FORMAT_RAR_V5;
}

std::optional<int32_t> RarLibarchive::open(archive *a, shared::PieceSource &pieces)
{
    RarVolumeInfo vol = readRarVolumeInfo(archive_);
    if (vol.isVolume) {
        if (!vol.isFirstVolume)
            return archivers::kErrMissingVolume; // a later volume alone cannot be read
        isSet_ = true;
        std::vector<std::string> volumes = findRarVolumes(archive_);
        lastVolume_ = volumes.back();
        std::vector<const char *> names;
        for (const std::string &v : volumes)
            names.push_back(v.c_str());
        names.push_back(nullptr);
        if (archive_read_open_filenames(a, names.data(), kBlockSize) != ARCHIVE_OK)
            return archivers::kErrOpenArchive;
        return archivers::kOk;
    }
    std::vector<shared::ArchivePiece> cleaned = rar5CleanLayout(archive_);
    if (!cleaned.empty())
        return pieces.open(a, archive_, std::move(cleaned)) == ARCHIVE_OK ? archivers::kOk
                                                                          : archivers::kErrOpenArchive;
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(archive_, ec);
    if (searchStub_ && !ec && (start_ = rarSelfExtractorStart(archive_)) > 0) {
        std::vector<shared::ArchivePiece> archiveOnly{{start_, size - start_, {}}};
        return pieces.open(a, archive_, std::move(archiveOnly)) == ARCHIVE_OK ? archivers::kOk
                                                                              : archivers::kErrOpenArchive;
    }
    return std::nullopt;
}

std::optional<uint32_t> RarLibarchive::expectedCrc(archive *a, archive_entry *entry,
                                                   const extract::MemberInfo &member)
{
    if (archive_format(a) != ARCHIVE_FORMAT_RAR_V5 || member.kind == extract::MemberInfo::Kind::Directory)
        return std::nullopt;
    if (!rar5Crcs_)
        rar5Crcs_ = Rar5Checksums::read(isSet_ ? findRarVolumes(archive_)
                                               : std::vector<std::string>{archive_.string()},
                                        start_);
    const char *raw = archive_entry_pathname(entry);
    return rar5Crcs_->next(raw ? raw : "");
}

std::optional<int32_t> RarLibarchive::headerFailure()
{
    if (isSet_ && rarVolumeHasNext(lastVolume_))
        return archivers::kErrMissingVolume;
    return std::nullopt;
}

int32_t RarLibarchive::verdict(int32_t result, const shared::ReadSummary &summary)
{
    // RAR 5 encryption shows only as members that fail to decode.
    if ((result != archivers::kOk || summary.dataFailed) && result != archivers::kErrEncrypted
        && rar5HasEncryption(archive_))
        return archivers::kErrEncrypted;
    // A member cut off at the end of the last volume found means the set
    // goes on in a volume that is not there.
    if (result == archivers::kOk && summary.dataFailed && isSet_ && rarVolumeHasNext(lastVolume_))
        return archivers::kErrMissingVolume;
    return result;
}

} // namespace qvo::formats::rar
