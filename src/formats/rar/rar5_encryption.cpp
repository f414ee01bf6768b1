#include "formats/rar/rar5_encryption.h"

#include "formats/rar/rar5_blocks.h"

#include <cstdint>
#include <fstream>
#include <string>

namespace qvo::formats::rar {
namespace {

constexpr uint64_t kExtraEncryption = 0x01;
constexpr int kMaxBlocks = 1000000;

// A file header's extra area closes its header: records of size, type, data.
bool hasEncryptionRecord(const rar5::Block &b)
{
    size_t e = b.raw.size() - static_cast<size_t>(b.extraSize);
    while (e < b.raw.size()) {
        uint64_t recSize, recType;
        size_t recStart = e;
        if (!rar5::readVint(b.raw, e, recSize) || recSize == 0)
            return false;
        size_t recEnd = e + static_cast<size_t>(recSize);
        if (!rar5::readVint(b.raw, e, recType))
            return false;
        if (recType == kExtraEncryption)
            return true;
        if (recEnd <= recStart || recEnd > b.raw.size())
            return false;
        e = recEnd;
    }
    return false;
}

} // namespace

bool rar5HasEncryption(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!rar5::startsWithMarker(in))
        return false;
    uint64_t offset = rar5::kMarkerSize;
    for (int i = 0; i < kMaxBlocks; ++i) {
        rar5::Block b;
        if (!rar5::readBlock(in, offset, b))
            return false;
        if (b.type == rar5::kTypeEncryption)
            return true;
        if (b.type == rar5::kTypeEnd)
            return false;
        if (b.type == rar5::kTypeFile && b.extraSize > 0 && hasEncryptionRecord(b))
            return true;
        if (b.end() <= offset)
            return false;
        offset = b.end();
    }
    return false;
}

} // namespace qvo::formats::rar
