#include "formats/rar/rar5_checksums.h"

#include "base/endian.h"
#include "formats/rar/rar5_blocks.h"

#include <fstream>

namespace qvo::formats::rar {
namespace {

constexpr int kMaxBlocks = 1000000;
constexpr uint64_t kSplitAfter = 0x0010; // the data goes on in the next volume
constexpr uint64_t kFileIsFolder = 0x0001;
constexpr uint64_t kFileHasTime = 0x0002;
constexpr uint64_t kFileHasCrc = 0x0004;
constexpr uint64_t kExtraVersion = 0x04;

// The file version record of the extra area, when there is one.
std::optional<uint64_t> fileVersion(const rar5::Block &b)
{
    size_t e = b.raw.size() - static_cast<size_t>(b.extraSize);
    while (e < b.raw.size()) {
        uint64_t recSize, recType, flags, version;
        size_t start = e;
        if (!rar5::readVint(b.raw, e, recSize) || recSize == 0)
            return std::nullopt;
        size_t end = e + static_cast<size_t>(recSize);
        if (end <= start || end > b.raw.size() || !rar5::readVint(b.raw, e, recType))
            return std::nullopt;
        if (recType == kExtraVersion && rar5::readVint(b.raw, e, flags) && rar5::readVint(b.raw, e, version))
            return version;
        e = end;
    }
    return std::nullopt;
}

struct FileEntry {
    std::string name;
    bool folder = false;
    std::optional<uint32_t> crc;
};

bool parseFile(const rar5::Block &b, FileEntry &f)
{
    size_t at = b.fieldsAt;
    uint64_t fileFlags, size, attributes, compression, host, nameSize;
    if (!rar5::readVint(b.raw, at, fileFlags) || !rar5::readVint(b.raw, at, size)
        || !rar5::readVint(b.raw, at, attributes))
        return false;
    if (fileFlags & kFileHasTime)
        at += 4;
    if (fileFlags & kFileHasCrc) {
        if (at + 4 > b.raw.size())
            return false;
        f.crc = base::loadLe32(b.raw.data() + at);
        at += 4;
    }
    if (!rar5::readVint(b.raw, at, compression) || !rar5::readVint(b.raw, at, host)
        || !rar5::readVint(b.raw, at, nameSize) || nameSize > b.raw.size() - at)
        return false;
    f.name = b.raw.substr(at, static_cast<size_t>(nameSize));
    f.folder = fileFlags & kFileIsFolder;
    if (std::optional<uint64_t> v = fileVersion(b); v && *v > 0)
        f.name += ";" + std::to_string(*v);
    return true;
}

} // namespace

Rar5Checksums Rar5Checksums::read(const std::vector<std::string> &volumes, uint64_t start)
{
    Rar5Checksums out;
    for (const std::string &volume : volumes) {
        std::ifstream in(volume, std::ios::binary);
        if (!rar5::startsWithMarker(in, start))
            return {};
        uint64_t offset = start + rar5::kMarkerSize;
        start = 0; // later volumes have no stub
        for (int i = 0; i < kMaxBlocks; ++i) {
            rar5::Block b;
            if (!rar5::readBlock(in, offset, b) || b.end() <= offset || b.type == rar5::kTypeEnd)
                break;
            if (b.type == rar5::kTypeEncryption)
                return {};
            FileEntry f;
            // A split member's earlier parts store the CRC of their packed
            // part; the last part holds the whole file's.
            if (b.type == rar5::kTypeFile && b.crcOk && !(b.flags & kSplitAfter) && parseFile(b, f) && !f.folder)
                out.byName_[f.name].push_back(f.crc);
            offset = b.end();
        }
    }
    return out;
}

std::optional<uint32_t> Rar5Checksums::next(const std::string &name)
{
    auto it = byName_.find(name);
    if (it == byName_.end() || it->second.empty())
        return std::nullopt;
    std::optional<uint32_t> crc = it->second.front();
    it->second.pop_front();
    return crc;
}

} // namespace qvo::formats::rar
