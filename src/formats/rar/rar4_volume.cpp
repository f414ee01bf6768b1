#include "formats/rar/rar4_volume.h"

#include "archivers/include/qvo_archiver.h"
#include "base/endian.h"
#include "codecs/crc32.h"
#include "identify/split_pieces.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace qvo::formats::rar::rar4 {
namespace {

constexpr uint64_t kSfxSearchLimit = 1024 * 1024;
constexpr uint64_t kMaxOldSubData = 1024 * 1024;

bool preadAll(int fd, uint64_t offset, void *dst, size_t n)
{
    auto *p = static_cast<uint8_t *>(dst);
    while (n > 0) {
        ssize_t r = ::pread(fd, p, n, static_cast<off_t>(offset));
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<size_t>(r);
        offset += static_cast<uint64_t>(r);
    }
    return true;
}

} // namespace

std::optional<uint64_t> findSignature(int fd, uint64_t fileSize)
{
    size_t span = static_cast<size_t>(std::min<uint64_t>(fileSize, kSfxSearchLimit + kSignatureSize + kBaseHeaderSize));
    std::vector<char> head(span);
    if (span < kSignatureSize || !preadAll(fd, 0, head.data(), span))
        return std::nullopt;
    std::string_view view(head.data(), head.size());
    for (size_t at = view.find(std::string_view(kSignature, kSignatureSize)); at != std::string_view::npos;
         at = view.find(std::string_view(kSignature, kSignatureSize), at + 1)) {
        // A stub may contain the bytes by chance: a main header must follow.
        size_t main = at + kSignatureSize;
        if (at == 0 || (main + 3 <= view.size() && static_cast<uint8_t>(view[main + 2]) == kMainBlock))
            return at;
    }
    return std::nullopt;
}

bool Volume::readBytes(uint64_t offset, void *dst, size_t n) const
{
    auto *p = static_cast<uint8_t *>(dst);
    for (const Piece &piece : pieces_) {
        if (n == 0)
            break;
        if (offset >= piece.size) {
            offset -= piece.size;
            continue;
        }
        const size_t take = static_cast<size_t>(std::min<uint64_t>(n, piece.size - offset));
        if (!preadAll(piece.fd.get(), offset, p, take))
            return false;
        p += take;
        n -= take;
        offset = 0;
    }
    return n == 0;
}

int32_t Volume::open(const std::string &path)
{
    sawEnd_ = false;
    endFlags_ = 0;
    dataOffset_ = dataSize_ = 0;
    pieces_.clear();
    size_ = 0;
    for (const std::string &name : identify::splitPieceNames(path)) {
        Piece piece{base::UniqueFd(::open(name.c_str(), O_RDONLY | O_CLOEXEC)), 0};
        struct stat st{};
        if (!piece.fd || ::fstat(piece.fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            return pieces_.empty() ? archivers::kErrOpenArchive : archivers::kErrCorrupt;
        piece.size = static_cast<uint64_t>(st.st_size);
        size_ += piece.size;
        pieces_.push_back(std::move(piece));
    }
    // The signature lies in the first piece.
    auto sig = findSignature(pieces_.front().fd.get(), pieces_.front().size);
    if (!sig)
        return archivers::kErrOpenArchive;
    std::string header;
    BlockHeader main;
    uint64_t at = *sig + kSignatureSize;
    if (!readHeader(at, header, main) || main.type != kMainBlock)
        return archivers::kErrCorrupt;
    mainFlags_ = main.flags;
    if (mainFlags_ & kMainEncryptedHeaders)
        return archivers::kErrEncrypted;
    pos_ = at + main.headSize;
    return archivers::kOk;
}

bool Volume::readHeader(uint64_t at, std::string &header, BlockHeader &block)
{
    if (at > size_ || size_ - at < kBaseHeaderSize)
        return false;
    char fixed[kBaseHeaderSize];
    if (!readBytes(at, fixed, sizeof fixed))
        return false;
    block = parseBlockHeader(std::string_view(fixed, sizeof fixed));
    if (block.headSize < kBaseHeaderSize || size_ - at < block.headSize)
        return false;
    header.resize(block.headSize);
    if (!readBytes(at, header.data(), header.size()))
        return false;
    block = parseBlockHeader(header);
    if (headerCrcMatches(block, header))
        return true;
    // Old authenticity and signature blocks carry no usable CRC.
    if (block.type == kAvBlock || block.type == kSignBlock)
        return true;
    // Old sub-blocks (Unix owners, OS/2 and BeOS attributes) count their
    // data in.
    if (block.type == kOldSubBlock && (block.flags & kLongBlock) && block.dataSize <= kMaxOldSubData
        && size_ - at - block.headSize >= block.dataSize) {
        std::string data(block.dataSize, '\0');
        if (!readBytes(at + block.headSize, data.data(), data.size()))
            return false;
        uint32_t c = codecs::crc32(0, header.data() + 2, header.size() - 2);
        c = codecs::crc32(c, data.data(), data.size());
        return static_cast<uint16_t>(c & 0xFFFF) == block.crc;
    }
    return false;
}

Volume::Step Volume::next(BlockHeader &block, std::string &header)
{
    if (sawEnd_ || pos_ >= size_)
        return Step::End;
    if (size_ - pos_ < kBaseHeaderSize) {
        // Some writers pad the end of a volume; a few stray bytes are no block.
        return Step::End;
    }
    if (!readHeader(pos_, header, block))
        return Step::Corrupt;
    dataOffset_ = pos_ + block.headSize;
    dataSize_ = block.dataSize;
    if (block.type == kFileBlock || block.type == kSubBlock) {
        if (header.size() < 32)
            return Step::Corrupt;
        if (block.flags & kFileLarge) {
            if (header.size() < 40)
                return Step::Corrupt;
            uint64_t high = base::loadLe32(header.data() + 32);
            dataSize_ |= high << 32;
        }
    } else if (!(block.flags & kLongBlock)) {
        dataSize_ = 0;
    }
    if (dataOffset_ > size_ || size_ - dataOffset_ < dataSize_) {
        if (block.type != kFileBlock)
            return Step::Corrupt;
        // A member cut off by the end of the file: its reader sees the
        // short data.
    }
    if (block.type == kEndBlock) {
        sawEnd_ = true;
        endFlags_ = block.flags;
        return Step::End;
    }
    pos_ = dataOffset_; // skipData() moves past the data
    return Step::Block;
}

int64_t Volume::readAt(uint64_t offset, uint8_t *dst, size_t n) const
{
    if (offset >= size_)
        return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - offset));
    if (!readBytes(offset, dst, n))
        return -1;
    return static_cast<int64_t>(n);
}

} // namespace qvo::formats::rar::rar4
