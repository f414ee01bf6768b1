#include "archivers/include/archiver_result.h"

namespace qvo::archivers {

const char *resultName(int32_t code)
{
    switch (code) {
    case kOk: return "ok";
    case kErrCommandLine: return "bad command line";
    case kErrNotSupported: return "not supported";
    case kErrOpenArchive: return "cannot open archive";
    case kErrCorrupt: return "corrupt data";
    case kErrEncrypted: return "encrypted";
    case kErrUnsafeEntry: return "unsafe entry refused";
    case kErrExists: return "file exists";
    case kErrWrite: return "write error";
    case kErrSpaceLimit: return "space limit reached";
    case kErrNameClash: return "name clash";
    case kErrTooLarge: return "too large for format";
    case kErrNoFiles: return "no files";
    case kErrMissingVolume: return "missing volume";
    case kErrInternal: return "internal error";
    default: return "unknown";
    }
}

} // namespace qvo::archivers
