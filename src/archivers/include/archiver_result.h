// Result codes of the archiver libraries' command functions.
//
// 0 is success; every failure is one of the non-zero codes below, the same
// in all six libraries.  Callers pass them through unchanged; the values are
// stable because scripts and tests compare them.
#pragma once
#include <cstdint>

namespace qvo::archivers {

enum ArchiverResult : int32_t {
    kOk = 0,
    kErrCommandLine = 0x8001,   // malformed command line, unknown or misplaced switch
    kErrNotSupported = 0x8002,  // a valid command this library does not carry out
    kErrOpenArchive = 0x8003,   // the archive cannot be opened or is not of this format
    kErrCorrupt = 0x8004,       // truncated or corrupt data, CRC mismatch
    kErrEncrypted = 0x8005,     // encrypted member (no password support)
    kErrUnsafeEntry = 0x8006,   // entry refused: absolute path, "..", device, link outside
    kErrExists = 0x8007,        // file exists in the destination and overwriting is off
    kErrWrite = 0x8008,         // cannot create or write an output file or folder
    kErrSpaceLimit = 0x8009,    // extraction stopped before the volume filled up
    kErrNameClash = 0x800A,     // two members would get the same name (no-path modes)
    kErrTooLarge = 0x800B,      // input exceeds what the format can hold
    kErrNoFiles = 0x800C,       // nothing to pack, or the source folder is missing
    kErrMissingVolume = 0x800D, // a volume of a multi-volume set is missing
    kErrInternal = 0x80FF,      // unexpected failure (out of memory, exception)
};

// A short English description of a result code, for logs and test messages.
const char *resultName(int32_t code);

} // namespace qvo::archivers
