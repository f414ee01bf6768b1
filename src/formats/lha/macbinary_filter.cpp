#include "formats/lha/macbinary_filter.h"

#include <algorithm>

namespace qvo::formats::lha {
namespace {

uint32_t be32(const std::string &b, size_t at)
{
    return (static_cast<uint32_t>(static_cast<unsigned char>(b[at])) << 24)
        | (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16)
        | (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8)
        | static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3]));
}

} // namespace

int32_t MacBinaryFilter::write(extract::ExtractSink &sink, const char *data, size_t n)
{
    if (!enabled_)
        return sink.write(data, n);
    if (!decided_) {
        size_t take = std::min(n, kHeaderSize - head_.size());
        head_.append(data, take);
        data += take;
        n -= take;
        if (head_.size() < kHeaderSize)
            return archivers::kOk;
        decided_ = true;
        if (!isMacLhaHeader()) {
            enabled_ = false;
            int32_t r = sink.write(head_.data(), head_.size());
            return r != archivers::kOk ? r : sink.write(data, n);
        }
        offset_ = kHeaderSize;
    }
    // Keep bytes [128, 128 + data fork length).
    uint64_t end = kHeaderSize + dataFork_;
    size_t keep = offset_ >= end ? 0 : static_cast<size_t>(std::min<uint64_t>(n, end - offset_));
    offset_ += n;
    return keep ? sink.write(data, keep) : archivers::kOk;
}

int32_t MacBinaryFilter::finish(extract::ExtractSink &sink)
{
    if (enabled_ && !decided_ && !head_.empty())
        return sink.write(head_.data(), head_.size());
    return archivers::kOk;
}

bool MacBinaryFilter::zero(size_t from, size_t to) const
{
    for (size_t i = from; i < to; ++i) {
        if (head_[i] != 0)
            return false;
    }
    return true;
}

bool MacBinaryFilter::isMacLhaHeader()
{
    constexpr size_t kNameLen = 0x01, kName = 0x02, kNameMax = 63;
    size_t nameLen = static_cast<unsigned char>(head_[kNameLen]);
    if (head_[0] != 0 || head_[0x4A] != 0 || head_[0x52] != 0 || !zero(0x63, kHeaderSize))
        return false;
    if (nameLen == 0 || nameLen > kNameMax || nameLen != rawName_.size()
        || head_.compare(kName, nameLen, rawName_) != 0 || !zero(kName + nameLen, kName + kNameMax))
        return false;
    uint64_t dataFork = be32(head_, 0x53), rsrcFork = be32(head_, 0x57);
    if (((dataFork + rsrcFork + kHeaderSize + 0x7F) & ~uint64_t(0x7F)) != length_)
        return false;
    if (rsrcFork != 0)
        return false; // keep both forks rather than lose one
    dataFork_ = dataFork;
    return true;
}

} // namespace qvo::formats::lha
