#include "formats/lha/mapped_file.h"

#include "archivers/include/qvo_archiver.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::archivers::unlha32 {

MappedFile::~MappedFile()
{
    if (data_)
        munmap(data_, size_);
    if (fd_ >= 0)
        close(fd_);
}

int32_t MappedFile::open(const std::filesystem::path &p)
{
    fd_ = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return kErrInternal;
    if (uint64_t(st.st_size) > 0xFFFFFFFFull)
        return kErrTooLarge;
    size_ = size_t(st.st_size);
    if (size_ == 0)
        return kOk;
    void *m = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (m == MAP_FAILED)
        return kErrInternal;
    data_ = m;
    madvise(data_, size_, MADV_SEQUENTIAL);
    return kOk;
}

} // namespace qvo::archivers::unlha32
