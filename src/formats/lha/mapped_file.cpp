#include "formats/lha/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::formats::lha {

MappedFile::~MappedFile()
{
    if (data_)
        munmap(data_, size_);
    if (fd_ >= 0)
        close(fd_);
}

create::WriteStatus MappedFile::open(const std::filesystem::path &p)
{
    fd_ = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return create::WriteStatus::ReadError;
    if (uint64_t(st.st_size) > 0xFFFFFFFFull)
        return create::WriteStatus::TooLarge;
    size_ = size_t(st.st_size);
    if (size_ == 0)
        return create::WriteStatus::Ok;
    void *m = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (m == MAP_FAILED)
        return create::WriteStatus::ReadError;
    data_ = m;
    madvise(data_, size_, MADV_SEQUENTIAL);
    return create::WriteStatus::Ok;
}

} // namespace qvo::formats::lha
