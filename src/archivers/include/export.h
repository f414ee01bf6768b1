// Marks the C entry points of an archiver library; everything else is hidden.
#pragma once
#include <cstdint>

#define QVO_ARCHIVER_EXPORT extern "C" __attribute__((visibility("default")))

namespace qvo::archivers {

// Version numbers the libraries report: major * 100 + minor, as the
// libraries they stand in for did.
constexpr int32_t kLibraryVersion = 300;

} // namespace qvo::archivers
