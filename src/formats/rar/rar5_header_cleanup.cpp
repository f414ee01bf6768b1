#include "formats/rar/rar5_header_cleanup.h"

#include "codecs/crc32.h"
#include "formats/rar/rar5_blocks.h"

#include <fstream>
#include <system_error>

namespace qvo::formats::rar {
namespace {

constexpr int kMaxBlocks = 1000000;
constexpr uint64_t kExtraLocator = 0x01;
constexpr uint64_t kLocatorQuickOpen = 0x01;
constexpr uint64_t kLocatorRecovery = 0x02;

struct MainFields {
    uint64_t archiveFlags = 0;
    uint64_t volumeNumber = 0;
    bool readAsStored = false; // libarchive's reading ends where the header does
};

bool parseMain(const rar5::Block &b, MainFields &m)
{
    size_t at = b.fieldsAt;
    if (!rar5::readVint(b.raw, at, m.archiveFlags))
        return false;
    if ((m.archiveFlags & rar5::kArchiveVolumeNumber) && !rar5::readVint(b.raw, at, m.volumeNumber))
        return false;
    // libarchive reads at most one locator record, right after the fields.
    if (b.extraSize > 0) {
        uint64_t recSize, recType, locFlags, skip;
        if (!rar5::readVint(b.raw, at, recSize) || !rar5::readVint(b.raw, at, recType)
            || recType != kExtraLocator || !rar5::readVint(b.raw, at, locFlags))
            return true;
        if ((locFlags & kLocatorQuickOpen) && !rar5::readVint(b.raw, at, skip))
            return true;
        if ((locFlags & kLocatorRecovery) && !rar5::readVint(b.raw, at, skip))
            return true;
    }
    m.readAsStored = at == b.raw.size();
    return true;
}

// The main header with its archive flags and volume number only.
std::string rebuildMain(const rar5::Block &b, const MainFields &m)
{
    std::string header;
    rar5::appendVint(header, rar5::kTypeMain);
    rar5::appendVint(header, b.flags & ~(rar5::kFlagExtra | rar5::kFlagData));
    rar5::appendVint(header, m.archiveFlags);
    if (m.archiveFlags & rar5::kArchiveVolumeNumber)
        rar5::appendVint(header, m.volumeNumber);
    std::string sized;
    rar5::appendVint(sized, header.size());
    sized += header;
    uint32_t crc = codecs::crc32(0, sized.data(), sized.size());
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    return out + sized;
}

bool isKnownType(uint64_t type)
{
    return type >= rar5::kTypeMain && type <= rar5::kTypeEnd;
}

} // namespace

std::vector<shared::ArchivePiece> rar5CleanLayout(const std::filesystem::path &path)
{
    std::error_code ec;
    uint64_t fileSize = std::filesystem::file_size(path, ec);
    if (ec)
        return {};
    std::ifstream in(path, std::ios::binary);
    if (!rar5::startsWithMarker(in))
        return {};

    std::vector<shared::ArchivePiece> pieces;
    uint64_t copyFrom = 0;
    auto copyUpTo = [&](uint64_t end) {
        if (end > copyFrom)
            pieces.push_back({copyFrom, end - copyFrom, {}});
    };
    bool changed = false;
    uint64_t offset = rar5::kMarkerSize;
    for (int i = 0; i < kMaxBlocks && offset < fileSize; ++i) {
        rar5::Block b;
        // Damage is libarchive's to report, on the archive as stored.
        if (!rar5::readBlock(in, offset, b) || !b.crcOk || b.end() <= offset)
            break;
        if (b.type == rar5::kTypeEncryption)
            return {};
        if (b.type == rar5::kTypeEnd)
            break;
        if (b.type == rar5::kTypeMain) {
            MainFields m;
            if (!parseMain(b, m) || (m.archiveFlags & rar5::kArchiveVolume))
                return {}; // sets are opened volume by volume, by name
            if (!m.readAsStored && !(b.flags & rar5::kFlagData)) {
                copyUpTo(b.offset);
                pieces.push_back({0, 0, rebuildMain(b, m)});
                copyFrom = b.offset + b.raw.size();
                changed = true;
            }
        } else if (!isKnownType(b.type)) {
            // "Skip if unknown" concerns programs that update archives: a
            // reader passes over any block it does not know.
            copyUpTo(b.offset);
            copyFrom = b.end();
            changed = true;
        }
        offset = b.end();
    }
    if (!changed)
        return {};
    copyUpTo(fileSize);
    for (shared::ArchivePiece &p : pieces) {
        if (!p.bytes.empty())
            p.size = p.bytes.size();
    }
    return pieces;
}

} // namespace qvo::formats::rar
