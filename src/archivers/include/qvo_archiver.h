/* The interface between the program and its archiver libraries.
 *
 * Each library is a shared object that exports exactly two C functions: a
 * version query and a command function that carries out one command line
 * (UTF-8 text; tokens separated by spaces, paths in double quotes):
 *
 *   int32_t <Version>(void);
 *   int32_t <Command>(void *ownerWindow, const char *cmdLine,
 *                     char *output, uint32_t outputSize);
 *
 * The program passes no window and no output buffer; a library writes an
 * empty string into a buffer it is given.  A command returns 0 or one of
 * the result codes below; the values are the same in every library and
 * stable, since scripts and tests compare them.
 *
 * This header is the one place that names the libraries, their functions,
 * their results and the switches of our own: the libraries, the program's
 * back-ends, the build (CMake reads QVO_ARCHIVER_LIBRARIES from here), the
 * test doubles and the tests all take them from it.  It is plain C, so a stand-in library can
 * be written in C. */
#ifndef QVO_ARCHIVER_H
#define QVO_ARCHIVER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t QvoVersionFunction(void);
typedef int32_t QvoCommandFunction(void *ownerWindow, const char *cmdLine, char *output,
                                   uint32_t outputSize);

/* The six libraries: X(id, file name without ".so", version function,
 * command function).  One entry per line: the build reads these lines. */
#define QVO_ARCHIVER_LIBRARIES(X) \
    X(unlha32, "unlha32", UnlhaGetVersion, Unlha) \
    X(unzip32, "unzip32", UnZipGetVersion, UnZip) \
    X(zip32j, "Zip32J", ZipGetVersion, Zip) \
    X(sevenzip32, "7-zip32", SevenZipGetVersion, SevenZip) \
    X(cab32, "cab32", CabGetVersion, Cab) \
    X(unrar32, "unrar32", UnrarGetVersion, Unrar)

/* The entry points, declared so that every definition is checked against
 * the one signature. */
#define QVO_ARCHIVER_DECLARE_ENTRIES(id, file, version, command) \
    QvoVersionFunction version; \
    QvoCommandFunction command;
QVO_ARCHIVER_LIBRARIES(QVO_ARCHIVER_DECLARE_ENTRIES)
#undef QVO_ARCHIVER_DECLARE_ENTRIES

/* How a loader finds a library and its functions: qvo_unlha32 and so on. */
struct QvoArchiverName {
    const char *file;            /* file name in the library folder */
    const char *versionFunction; /* a QvoVersionFunction */
    const char *commandFunction; /* a QvoCommandFunction */
};
#define QVO_ARCHIVER_DEFINE_NAME(id, file, version, command) \
    __attribute__((unused)) static const struct QvoArchiverName qvo_##id = {file ".so", #version, \
                                                                              #command};
QVO_ARCHIVER_LIBRARIES(QVO_ARCHIVER_DEFINE_NAME)
#undef QVO_ARCHIVER_DEFINE_NAME

/* Marks an entry point in a library's own source; everything else in a
 * library is hidden. */
#define QVO_ARCHIVER_EXPORT __attribute__((visibility("default")))

/* Result codes of the command functions: X(name, value, description).
 * 0 is success; every failure is one of the others. */
#define QVO_ARCHIVER_RESULTS(X) \
    X(kOk, 0x0000, "ok") \
    X(kErrCommandLine, 0x8001, "bad command line")   /* malformed, unknown or misplaced switch */ \
    X(kErrNotSupported, 0x8002, "not supported")     /* a valid command this library does not carry out */ \
    X(kErrOpenArchive, 0x8003, "cannot open archive") /* cannot be opened, or not of this format */ \
    X(kErrCorrupt, 0x8004, "corrupt data")           /* truncated or corrupt data, CRC mismatch */ \
    X(kErrEncrypted, 0x8005, "encrypted")            /* encrypted member (no password support) */ \
    X(kErrUnsafeEntry, 0x8006, "unsafe entry refused") /* absolute path, "..", device, link outside, overlapping members */ \
    X(kErrExists, 0x8007, "file exists")             /* in the destination, and overwriting is off */ \
    X(kErrWrite, 0x8008, "write error")              /* cannot create or write an output, or read what goes into it */ \
    X(kErrSpaceLimit, 0x8009, "space limit reached") /* stopped before the volume filled up */ \
    X(kErrNameClash, 0x800A, "name clash")           /* two members would get one name */ \
    X(kErrTooLarge, 0x800B, "too large for format")  /* input exceeds what the format can hold */ \
    X(kErrNoFiles, 0x800C, "no files")               /* nothing to pack, or no source folder */ \
    X(kErrMissingVolume, 0x800D, "missing volume")   /* a volume of a set is missing */ \
    X(kErrNameEncoding, 0x800E, "name has no CP932 form") /* with QVO_SWITCH_CP932_NAMES */ \
    X(kErrInternal, 0x80FF, "internal error")        /* out of memory, unexpected failure */

/* Switches of our own that the conversion run adds to a library's extract
 * command, before the paths; no other caller sends them.
 *
 * QVO_SWITCH_CONVERSION: the destination is a conversion's working folder
 * (fresh, and the user's alone), where a symbolic link is data to carry
 * into the new archive: it is made as stored, also when it leads outside
 * the folder, since whatever reads the folder afterwards takes a link as a
 * link and never goes through it.  In a destination that was not private
 * and empty at the start, links are checked as always.
 *
 * QVO_SWITCH_MEMBER_LIST, when the run will check the new archive against
 * its source or must know what a cabinet cannot hold: a third quoted path
 * follows the destination.  When the extraction succeeds, the library
 * writes there what the archive handed over, member by member in archive
 * order, each member as five fields that each end with a NUL byte:
 *   kind    "F" file (also a hard link, with its file's data), "D" folder,
 *           "L" symbolic link, "X" symbolic link leading outside the
 *           destination (made only with QVO_SWITCH_CONVERSION)
 *   size    bytes of data, decimal ("0" but for files)
 *   crc     CRC-32 of the data, 8 lower-case hex digits ("00000000" but
 *           for files)
 *   name    UTF-8, components joined by "/", "." and empty ones dropped
 *   target  of a link as stored, "\" turned into "/" (empty but for links) */
#define QVO_SWITCH_CONVERSION "--conversion"
#define QVO_SWITCH_MEMBER_LIST "--member-list"

/* QVO_SWITCH_NAMES "=" ENCODING, one token: member names that the archive
 * does not mark as Unicode (or with a code page) are in ENCODING, one of
 * QVO_NAME_CHARSETS (letter case aside; another is kErrCommandLine).
 * Without it the library judges the encoding per archive from all its
 * unmarked names; the program sends it only when the user named one. */
#define QVO_SWITCH_NAMES "--names"
#define QVO_NAME_CHARSETS(X) \
    X("CP932") \
    X("EUC-JP") \
    X("UTF-8") \
    X("GB18030") \
    X("BIG5") \
    X("CP949") \
    X("CP437") \
    X("CP850") \
    X("CP1252") \
    X("ISO-8859-1") \
    X("ISO-8859-15") \
    X("CP1250") \
    X("CP1251") \
    X("KOI8-R") \
    X("CP866")
/* A switch of our own for a library's create command, sent only when the
 * user asks for it (qvo-convert --name-encoding cp932), before the archive:
 * every name is written in CP932, for old Japanese tools that read nothing
 * else; ZIP names then go without flag bit 11 and cabinet names without the
 * UTF-8 attribute (LHA headers say code page 932 as they do unasked).  A
 * name that CP932 cannot hold exactly fails the command with
 * kErrNameEncoding, and nothing is written. */
#define QVO_SWITCH_CP932_NAMES "--cp932-names"

#ifdef __cplusplus
} /* extern "C" */

namespace qvo::archivers {

// The six libraries by id, in the order above.
#define QVO_ARCHIVER_ID(id, file, version, command) id,
enum class ArchiverId { QVO_ARCHIVER_LIBRARIES(QVO_ARCHIVER_ID) };
#undef QVO_ARCHIVER_ID

// How a loader finds the library `id` (what qvo_<id> says, as a value).
constexpr QvoArchiverName archiverName(ArchiverId id)
{
#define QVO_ARCHIVER_NAME_OF(id, file, version, command) \
    case ArchiverId::id:                                  \
        return {file ".so", #version, #command};
    switch (id) {
        QVO_ARCHIVER_LIBRARIES(QVO_ARCHIVER_NAME_OF)
    }
#undef QVO_ARCHIVER_NAME_OF
    return {};
}

#define QVO_ARCHIVER_RESULT_VALUE(name, value, description) name = value,
enum ArchiverResult : int32_t { QVO_ARCHIVER_RESULTS(QVO_ARCHIVER_RESULT_VALUE) };
#undef QVO_ARCHIVER_RESULT_VALUE

// A short English description of a result code, for logs and test messages.
inline const char *resultName(int32_t code)
{
#define QVO_ARCHIVER_RESULT_NAME(name, value, description) \
    case name:                                             \
        return description;
    switch (code) {
        QVO_ARCHIVER_RESULTS(QVO_ARCHIVER_RESULT_NAME)
    default:
        return "unknown";
    }
#undef QVO_ARCHIVER_RESULT_NAME
}

} // namespace qvo::archivers
#endif

#endif /* QVO_ARCHIVER_H */
