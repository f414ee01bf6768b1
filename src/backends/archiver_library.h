// The archiver libraries as the back-ends reach them (archivers/include/
// qvo_archiver.h describes the interface).  They live in the program's
// library folder, ../lib/qvo/ beside the executable's folder, or in the
// folder QVO_LIBRARY_DIR names.
#pragma once
#include "archivers/include/qvo_archiver.h"
#include "platform/dynamic_library.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::backends {

using ArchiverLibraryName = QvoArchiverName;

// QVO_LIBRARY_DIR when set and not empty, otherwise ../lib/qvo/ relative to
// the executable's folder; empty when neither can be determined.
std::filesystem::path archiverLibraryFolder();

// One archiver library, bound on the first call that needs it.  Once bound
// it stays bound; while it cannot be bound, every call tries again.  Both
// calls throw ArchiverUnavailable when the library or the function cannot
// be reached.  Not thread-safe: archive operations run on one thread.
class ArchiverLibrary {
public:
    explicit ArchiverLibrary(const ArchiverLibraryName &name) : name_(name) {}

    int32_t getVersion();
    // Passes the command line unchanged, with no window and no output buffer.
    int32_t command(const std::string &cmdLine);

    const char *fileName() const { return name_.file; }

private:
    void *function(const char *symbol);

    ArchiverLibraryName name_;
    platform::DynamicLibrary library_;
    QvoVersionFunction *version_ = nullptr;
    QvoCommandFunction *command_ = nullptr;
};

} // namespace qvo::backends

namespace qvo::backends {

// The version query as the back-ends probe it: the library's version,
// -3 when the library file is missing, 0 when it is there but unusable.
int32_t probeLibraryVersion(ArchiverLibrary &library);

} // namespace qvo::backends
