// The create half of the archiver libraries' command lines: what the create
// command of every writing library does once its own grammar is parsed.
//
// The folder is walked once (create/entries_to_pack.h), leaving out the
// archive and its temporary file should they lie inside it, and the
// entries go to the write function of the library's format
// (create/archive_writer.h).  The archive is written under a temporary
// name beside it and appears only when complete: a failed command leaves
// nothing behind, and an existing file of that name as it was.  What a
// writer leaves out has no way back through the command interface: the
// program learns it from the member lists.
#pragma once
#include "create/archive_writer.h"
#include "create/source_tree.h"

#include <cstdint>
#include <filesystem>

namespace qvo::archivers::command {

struct CreateRequest {
    std::filesystem::path archive;
    std::filesystem::path folder = "."; // what is packed
    create::SourceWalkOptions walk;     // recurse, keepPaths (the exclusions are added)
    create::WriterOptions options;
};

// The library result code of a writer's status: the one translation
// between the two.
int32_t createResultCode(create::WriteStatus status);

// Walks, writes with `write` and commits; kOk or the failure.
int32_t runCreate(const CreateRequest &request, create::ArchiveWriteFunction &write);

} // namespace qvo::archivers::command
