#include "archivers/unlha32/create.h"

#include "archivers/common/archiver_result.h"

namespace qvo::archivers::unlha32 {

int32_t runCreate(const std::vector<Token> &)
{
    // Archive creation is not written yet: say so instead of faking success.
    return kErrNotSupported;
}

} // namespace qvo::archivers::unlha32
