// The archiver libraries: one shared object per library, each exporting a
// version query and a command function that takes a UTF-8 command line:
//   int32_t <Version>(void);
//   int32_t <Command>(void *ownerWindow, const char *cmdLine,
//                     char *output, uint32_t outputSize);
// They live in the program's library folder, ../lib/qvo/ beside the
// executable's folder, or in the folder QVO_LIBRARY_DIR names.
#pragma once
#include "platform/dynamic_library.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::archive {

struct ArchiverLibraryName {
    const char *file;            // file name in the library folder
    const char *versionFunction; // int32_t (void)
    const char *commandFunction; // int32_t (void *, const char *, char *, uint32_t)
};

inline constexpr ArchiverLibraryName kUnlha32{"unlha32.so", "UnlhaGetVersion", "Unlha"};
inline constexpr ArchiverLibraryName kUnzip32{"unzip32.so", "UnZipGetVersion", "UnZip"};
inline constexpr ArchiverLibraryName kZip32J{"Zip32J.so", "ZipGetVersion", "Zip"};
inline constexpr ArchiverLibraryName kSevenZip32{"7-zip32.so", "SevenZipGetVersion", "SevenZip"};
inline constexpr ArchiverLibraryName kCab32{"cab32.so", "CabGetVersion", "Cab"};
inline constexpr ArchiverLibraryName kUnrar32{"unrar32.so", "UnrarGetVersion", "Unrar"};

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
    using VersionFn = int32_t (*)(void);
    using CommandFn = int32_t (*)(void *, const char *, char *, uint32_t);
    VersionFn version_ = nullptr;
    CommandFn command_ = nullptr;
};

} // namespace qvo::archive

namespace qvo::archive {

// The version query as the back-ends probe it: the library's version,
// -3 when the library file is missing, 0 when it is there but unusable.
int32_t probeLibraryVersion(ArchiverLibrary &library);

} // namespace qvo::archive
