// The create command of cab32: packs the current directory into a cabinet.
//
//   -a [-r] [-i] (-ml:N | -mz | -ms) "ARCHIVE" *.*
//
//   -a       create ARCHIVE (replacing a file of that name once complete)
//   -r       recurse into folders; names keep their path below the current
//            directory, with '\' as separator.  Without it, only the files
//            of the current directory are packed.
//   -i       no dialogs (accepted; none are ever shown)
//   -ml:N    LZX with a window of 2^N bytes, N from 15 to 21
//   -mz      MSZIP
//   -ms      stored, no compression
//   --cp932-names  names in CP932 without the UTF-8 attribute
//            (QVO_SWITCH_CP932_NAMES); a name without an exact CP932 form
//            fails with kErrNameEncoding.  By default names are UTF-8, marked.
//   *.*      every entry of the current directory, dot files included
//
// Exactly one method switch is required; anything else is kErrCommandLine
// and nothing is written.  Names are composed to NFC unless two would then
// be one.  Folders are not entries of a cabinet, so empty
// folders are not kept.  Symbolic links to files are stored as the linked
// file's content; links to folders and dangling links are left out.
#include "archivers/cab32/create.h"

#include "codecs/lzx/lzx_compressor.h"

#include "formats/cab/cab_entries.h"
#include "archivers/cab32/create_options.h"
#include "archivers/include/qvo_archiver.h"
#include "create/atomic_output_file.h"
#include "create/composed_source_names.h"
#include "create/source_tree.h"
#include "formats/cab/cabinet_writer.h"
#include "codecs/deflate/mszip_compressor.h"
#include "formats/cab/stored_compressor.h"

namespace qvo::archivers::cab32 {
namespace cab = formats::cab;

namespace {

// The folder compressor of a method; empty when this build cannot make it.
formats::cab::CompressorFactory compressorFactory(const CreateOptions &options)
{
    switch (options.method) {
    case CabMethod::Mszip:
        return [] { return codecs::deflate::makeMszipCompressor(); };
    case CabMethod::Stored:
        return [] { return formats::cab::makeStoredCompressor(); };
    case CabMethod::Lzx:
        return [w = options.lzxWindowBits] { return codecs::lzx::makeLzxCompressor(w); };
    }
    return {};
}

int32_t resultCode(formats::cab::CabWriteResult::Status status)
{
    using Status = formats::cab::CabWriteResult::Status;
    switch (status) {
    case Status::Ok: return kOk;
    case Status::NoFiles: return kErrNoFiles;
    case Status::TooLarge: return kErrTooLarge;
    case Status::ReadError: return kErrWrite;
    case Status::WriteError: return kErrWrite;
    }
    return kErrInternal;
}

} // namespace

int32_t runCreate(const std::vector<command::Token> &tokens)
{
    CreateOptions options;
    if (int32_t rc = parseCreateCommand(tokens, options); rc != kOk)
        return rc;
    formats::cab::CompressorFactory factory = compressorFactory(options);
    if (!factory)
        return kErrNotSupported;

    create::AtomicOutputFile file;
    std::string error;
    if (!file.open(options.archive, error))
        return kErrWrite;

    create::SourceWalkOptions walk;
    walk.recurse = options.recurse;
    walk.keepPaths = true;
    walk.exclude = {file.target(), file.tempPath()};
    std::vector<create::SourceEntry> source;
    if (!create::collectSourceTree(".", walk, source, error))
        return kErrNoFiles;
    create::composeSourceNames(source);
    std::vector<formats::cab::CabFileEntry> entries;
    if (int32_t rc = formats::cab::makeCabEntries(source, options.cp932Names, entries, error); rc != kOk)
        return rc;

    // Decoders disagree on E8 translation past 1 GiB of an LZX folder, so
    // LZX folders stay below that.
    formats::cab::CabLimits limits;
    if (options.method == CabMethod::Lzx)
        limits.maxFramesPerFolder = uint32_t(codecs::lzx::kLzxStreamLimit / codecs::kFrameSize);
    formats::cab::CabWriteResult written = formats::cab::writeCabinet(entries, factory, file, limits);
    if (!written.ok())
        return resultCode(written.status);
    if (!file.commit(error))
        return kErrWrite;
    return kOk;
}

} // namespace qvo::archivers::cab32
