// The one shape of every archive writer: entries, options and an output in,
// one result out.
//
// A create command walks its folder into WriterEntry values
// (entries_to_pack.h), opens the output and calls the write function of
// its format (formats/<format>/<format>_archive_writer.h); the writer knows
// nothing of command lines, folders or result codes, and the command
// nothing of the format.  The writer decides everything the format decides:
// how names are encoded, which methods it has and what it cannot hold.
// What it cannot hold it leaves out and names in WriteResult::leftOut,
// unless leaving it out would betray the user (encryption), which fails.
//
// Facts a folder on disk cannot carry (DOS attributes, creation times,
// comments) are optional: unset means not known, and the writer derives
// what it stores from the mode and times as before.  A conversion carries
// them from the source archive's member list (QVO_SWITCH_MEMBER_LIST),
// which lies beside the working folder, matched to the entries by name.
//
// On failure the output holds whatever was written so far; the caller
// discards it (create::AtomicOutputFile).
#pragma once
#include "base/seekable_output.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qvo::create {

struct Timestamp {
    int64_t sec = 0;   // since 1970, UTC
    uint32_t nsec = 0;
};

struct WriterEntry {
    enum class Kind { File, Folder, Link };
    std::string name; // UTF-8 (or raw bytes from disk), '/'-separated, relative, composed to NFC; no trailing '/'
    Kind kind = Kind::File;
    uint64_t size = 0;             // File: bytes of data; Link to a file: that file's size
    Timestamp mtime;
    uint32_t mode = 0644;          // permission bits (07777) of the entry itself
    std::string linkTarget;        // Link: the target as stored, '/'-separated
    bool linkTargetIsFile = false; // Link: the target is a regular file inside the packed folder
    // File: where the data lies.  Link: the link itself, whose content (the
    // file it leads to) a format without links may store instead.
    std::filesystem::path diskPath;

    std::optional<uint8_t> dosAttributes; // read-only 0x01, hidden 0x02, system 0x04, archive 0x20
    std::optional<Timestamp> accessTime;
    std::optional<Timestamp> creationTime;
    std::string comment; // UTF-8; empty: none
};

// How member names go out.  Default: as the format stores them best (see
// each writer).  Cp932: every name exactly in CP932, for old Japanese
// tools, or the archive fails with NameEncoding.
enum class NameEncoding { Default, Cp932 };

// The compression method by the format's own name and its level:
//   LHA  "lh0" (stored), "lh1", "lh5", "lh6", "lh7"; no level
//   ZIP  "store", or "deflate" at level 1 (fast) to 9 (small)
//   CAB  "stored", "mszip", or "lzx" with its window as level, 15 to 21 bits
// Another is NotSupported.
struct WriterMethod {
    std::string name;
    int level = 0;
};

// Room for archives a password opens; no writer encrypts yet.
struct Encryption {
    std::string password;
};

struct WriterOptions {
    WriterMethod method;
    NameEncoding names = NameEncoding::Default;
    std::string archiveComment; // UTF-8; empty: none
    std::optional<Encryption> encryption;
};

enum class WriteStatus {
    Ok,
    NoFiles,      // nothing the format can hold
    TooLarge,     // a member, a name or the whole beyond the format's fields
    NameEncoding, // a name without the form NameEncoding asks for
    NameClash,    // two entries of one name
    ReadError,    // a file to pack cannot be read, or changed while it was read
    WriteError,   // the output cannot be written
    NotSupported, // a method, a name or a request the format cannot carry out
    Internal,     // out of memory, a worker failed
};

struct WriteResult {
    WriteStatus status = WriteStatus::Ok;
    std::string detail; // English, for logs: which entry and why
    // What the archive lacks that it was given, one phrase each ("links",
    // "archive comment"), for the conversion's note.
    std::vector<std::string> leftOut;

    bool ok() const { return status == WriteStatus::Ok; }
    static WriteResult failure(WriteStatus status, std::string detail)
    {
        WriteResult r;
        r.status = status;
        r.detail = std::move(detail);
        return r;
    }
};

// Every written format: one function of this type.  `entries` come in the
// order they are to be stored, each folder before what it holds.
using ArchiveWriteFunction = WriteResult(const std::vector<WriterEntry> &entries, const WriterOptions &options,
                                         base::SeekableOutput &out);

// What a writer keeps beyond names, kinds, data, modification times and
// permissions.
struct WriterHolds {
    bool dosAttributes = false;
    bool accessTime = false;
    bool creationTime = false;
    bool comments = false;
    bool archiveComment = false;
    bool encryption = false;
};

// A writer's result before it writes: NotSupported when encryption is
// asked of a writer that cannot encrypt (an archive in the clear would
// betray the user), otherwise Ok with `leftOut` naming the facts of
// `entries` and `options` that `holds` does not keep.
WriteResult resultBeforeWriting(const std::vector<WriterEntry> &entries, const WriterOptions &options,
                                const WriterHolds &holds);

} // namespace qvo::create
