#include "platform/page_memory.h"

#include <new>
#include <sys/mman.h>

namespace qvo::platform {

void *allocatePages(size_t bytes)
{
    void *p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    ::madvise(p, bytes, MADV_HUGEPAGE); // a hint; fine if refused
    return p;
}

void freePages(void *pages, size_t bytes)
{
    ::munmap(pages, bytes);
}

} // namespace qvo::platform
