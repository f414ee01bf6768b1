// Memory taken from the system in whole pages, zero-filled, for large
// tables that are touched sparsely (match finder trees): pages cost nothing
// until first used, and the system is asked to back them with huge pages.
#pragma once
#include <cstddef>

namespace qvo::platform {

// Throws std::bad_alloc when the system refuses.
void *allocatePages(size_t bytes);
void freePages(void *pages, size_t bytes);

} // namespace qvo::platform
