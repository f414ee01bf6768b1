// Where every extraction writes: the one place that decides what may be
// created in the destination folder.
//
// A reader (LHA, CAB, ZIP, RAR) walks its archive and hands each member to
// the sink: beginMember() with the decoded name and metadata, write() with
// the member's data as it is decoded, endMember() when the member is done
// (with whether its data was complete and its CRC matched).  finish() makes
// what had to wait until all members were written (symbolic links, folder
// times) and reports the overall result.
//
// The sink guarantees, whatever the archive says:
//  - nothing is written outside the destination folder: absolute paths,
//    drive prefixes, ".." components, devices and fifos are refused, and no
//    path is written through a symbolic link;
//  - symbolic links are made only when their target resolves inside the
//    destination (in a conversion's working folder, wherever they lead),
//    and only after every other member;
//  - an existing file is kept unless overwriting is on, and a member never
//    replaces another member of the same call: a second file, link or hard
//    link of a name already made (also "./x" beside "x") is refused whatever
//    `overwrite` says, since the archive would lose the first;
//  - a member whose data fails (corrupt, truncated, CRC mismatch, space
//    limit) leaves no file behind;
//  - extraction stops before the destination volume runs out of space;
//  - modes keep only permission bits (never setuid, setgid or sticky), less
//    the umask; folders stay writable until finish() gives them theirs.
// Names: "/" and "\" separate; "." and empty components are dropped.  In
// flat mode (restorePaths = false) files, links and hard links go by their
// last component, folders are skipped, and a name made twice is a clash.
// A folder named twice, or again by the path of a later member, is no clash.
// A refused member makes the whole call fail, but other members still go on
// being extracted.
// In a private, empty destination (a working folder), small files may be
// created by a writer thread after endMember() has returned kOk; a failure
// there is reported by finish(), which returns once every file is on disk.
// When several members fail, finish() reports the earliest member's failure.
#pragma once
#include "archivers/include/qvo_archiver.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qvo::extract {

struct ExtractOptions {
    std::filesystem::path destination; // must exist; created files go below it
    bool restorePaths = true;          // false: every file flat into the destination
    bool overwrite = false;            // replace existing files
    // Bytes that must stay free on the destination volume; 0 chooses the
    // default (the larger of 256 MiB and 2 % of the volume, but at most half
    // the volume).  Tests set a total-bytes limit with `maxTotalBytes`.
    uint64_t freeSpaceMargin = 0;
    std::optional<uint64_t> maxTotalBytes;
    // A conversion's working folder, where a symbolic link is data: links
    // are made as stored, also those leading outside (QVO_SWITCH_CONVERSION
    // says why that is safe there).  Honoured only in a destination that
    // is the user's alone and empty at the start; elsewhere links are
    // checked as always.
    bool linksAsData = false;
    // Keep the list of the members handed over (listedMembers()).
    bool listMembers = false;
};

struct MemberInfo {
    // Hardlink: another name for a file member that came earlier in the
    // archive; `linkTarget` is that member's name (checked like a name).
    enum class Kind { File, Directory, Symlink, Hardlink };
    // Decoded UTF-8 name as stored, with '/' as the only separator ('\\' and
    // LHA's 0xFF already turned into '/').  Not yet checked: the sink checks.
    std::string name;
    Kind kind = Kind::File;
    std::string linkTarget;               // Symlink, Hardlink: target as stored (UTF-8, '/')
    std::optional<uint64_t> size;         // declared size, when known: checked at the end
    std::optional<int64_t> mtimeSec;      // seconds since 1970, UTC
    uint32_t mtimeNsec = 0;
    std::optional<uint32_t> unixMode;     // permission bits, when stored (type bits ignored)
    bool isDeviceOrFifo = false;          // set by readers that see such entries
};

// A member as the archive handed it over (QVO_SWITCH_MEMBER_LIST): what a
// conversion's new archive must hold, whatever became of it on the disk.
struct ListedMember {
    // File also stands for a hard link, with the data of its file; a link
    // leading outside is made only with `linksAsData`.
    enum class Kind { File, Folder, Link, LinkLeadingOutside };
    Kind kind = Kind::File;
    std::string name;       // components joined by "/", as the sink names it
    uint64_t size = 0;      // files: bytes handed over
    uint32_t crc32 = 0;     // files: of those bytes
    std::string linkTarget; // links: as stored, backslashes turned into "/"
};

class ExtractSink {
public:
    explicit ExtractSink(ExtractOptions options);
    ~ExtractSink();
    ExtractSink(const ExtractSink &) = delete;
    ExtractSink &operator=(const ExtractSink &) = delete;

    // kOk: data for this member may follow (files) or it was made (folders)
    // or deferred (links).  Any other code: the member is refused and its
    // data must be skipped; the refusal is remembered for finish().
    // Refusals: kErrUnsafeEntry (bad name, device, link leading out or a
    // link on the way), kErrExists (name taken and no overwrite, or taken
    // by a folder / a file where the other is wanted), kErrNameClash (a
    // name this call already made, with overwrite or in flat mode),
    // kErrSpaceLimit (stopped()), kErrWrite.
    int32_t beginMember(const MemberInfo &member);
    // Appends data to the current file member.  A non-zero result (write
    // error, space limit) ends the member at once, removing what it wrote;
    // the reader may still call endMember(false), which returns that code.
    int32_t write(const void *data, size_t size);
    // dataOk = false (corrupt, truncated, CRC mismatch) removes what the
    // member wrote and records `failure`.  With dataOk, a file whose byte
    // count differs from a declared `size` fails as kErrCorrupt; otherwise
    // it gets its mode and time and appears under its name.  May be called
    // after any beginMember(), refused or not; returns the member's result.
    int32_t endMember(bool dataOk, int32_t failure = archivers::kErrCorrupt);
    // Creates deferred links, applies folder times, and returns kOk when
    // every member succeeded, otherwise the earliest member's failure.
    int32_t finish();

    // Records a failure found by the reader outside any member (a damaged
    // header, a missing volume): finish() then reports it.
    void recordFailure(int32_t code);
    // True once the space limit was reached: readers stop walking.
    bool stopped() const;
    // With `listMembers`, every member handed over, in order (complete
    // once finish() has returned).
    const std::vector<ListedMember> &listedMembers() const;
    // Files the writer thread has created, all of them once finish() has
    // returned: tests see by it that small files were handed over (with
    // QVO_TEST_WRITER_THREAD=1 the thread runs even on one processor).
    uint64_t filesFromWriterThread() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace qvo::extract
