#include "formats/shared/piece_source.h"

#include <archive.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qvo::formats::shared {
namespace {

constexpr size_t kChunk = 64 * 1024;

la_ssize_t readCallback(archive *, void *data, const void **buffer)
{
    return static_cast<la_ssize_t>(static_cast<PieceSource *>(data)->read(buffer));
}

la_int64_t skipCallback(archive *, void *data, la_int64_t request)
{
    auto *source = static_cast<PieceSource *>(data);
    int64_t before = source->seek(0, SEEK_CUR);
    int64_t after = source->seek(request, SEEK_CUR);
    return after < 0 ? 0 : after - before;
}

la_int64_t seekCallback(archive *, void *data, la_int64_t offset, int whence)
{
    return static_cast<PieceSource *>(data)->seek(offset, whence);
}

} // namespace

int PieceSource::open(archive *a, const std::filesystem::path &path, std::vector<rar::ArchivePiece> pieces)
{
    fd_.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd_)
        return ARCHIVE_FATAL;
    pieces_ = std::move(pieces);
    starts_.clear();
    total_ = 0;
    for (const rar::ArchivePiece &p : pieces_) {
        starts_.push_back(total_);
        total_ += p.size;
    }
    pos_ = 0;
    buffer_.resize(kChunk);
    archive_read_set_callback_data(a, this);
    archive_read_set_read_callback(a, readCallback);
    archive_read_set_skip_callback(a, skipCallback);
    archive_read_set_seek_callback(a, seekCallback);
    return archive_read_open1(a);
}

int64_t PieceSource::read(const void **buffer)
{
    *buffer = buffer_.data();
    if (pos_ >= total_)
        return 0;
    size_t i = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), pos_) - starts_.begin()) - 1;
    const rar::ArchivePiece &p = pieces_[i];
    uint64_t within = pos_ - starts_[i];
    size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, p.size - within));
    if (!p.bytes.empty()) {
        std::memcpy(buffer_.data(), p.bytes.data() + within, n);
    } else {
        ssize_t got;
        do {
            got = ::pread(fd_.get(), buffer_.data(), n, static_cast<off_t>(p.offset + within));
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            return -1;
        if (got == 0)
            return 0; // the file shrank under us: the stream ends early
        n = static_cast<size_t>(got);
    }
    pos_ += n;
    return static_cast<int64_t>(n);
}

int64_t PieceSource::seek(int64_t offset, int whence)
{
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(pos_) : static_cast<int64_t>(total_);
    int64_t target;
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        return ARCHIVE_FATAL;
    pos_ = std::min<uint64_t>(static_cast<uint64_t>(target), total_);
    return static_cast<int64_t>(pos_);
}

} // namespace qvo::formats::shared
