// The environment variables of our own that the programs and the archiver
// libraries read, each read here and nowhere else.
//
// For users and scripts:
//   QVO_LIBRARY_DIR=DIR      load the archiver libraries from DIR instead
//                            of ../lib/qvo beside the program (a build tree).
//   QVO_CONVERSIONS_AT_ONCE=N
//                            N conversions share the machine, each in its own
//                            process; qvo-convert --jobs sets it for its
//                            workers, and the libraries they load see it.
// For tests; none of them changes what a conversion writes:
//   QVO_WORKER_THREADS=N     every worker pool starts N workers, whatever
//                            the machine, the size of the work or the threads
//                            asked for, and the consumer runs no job while a
//                            worker exists: the threaded path runs even on
//                            one core.
//   QVO_WORKER_LOG=FILE      each worker pool that ran jobs appends one line
//                            to FILE when destroyed:
//                            "threads=T jobs=J on_workers=W".
//   QVO_TEST_EXTRACT_LIMIT=BYTES
//                            an extraction stops, as on a full volume, once
//                            it would write more than BYTES.
//   QVO_TEST_WRITER_THREAD=1 extraction writes files on a thread of their
//                            own on any machine, one processor included.
//   QVO_TEST_NAMED_TEMPORARIES=1
//                            temporary files get a hidden name from the
//                            start, as on file systems without unnamed files.
// The settings file (QVO_INI_FILE) belongs to settings/; the system's own
// variables (TMPDIR, HOME, XDG_*, the language) to system_folders.h and
// ui_language.h.
#pragma once
#include "base/machine_share.h"
#include "base/ordered_workers.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace qvo::platform {

// QVO_LIBRARY_DIR; empty when unset or empty.
std::filesystem::path libraryFolderOverride();

// QVO_CONVERSIONS_AT_ONCE (1 when unset), and setting it: before the
// conversions start, while the process runs one thread.
unsigned conversionsAtOnce();
void setConversionsAtOnce(unsigned count);

// This machine's hardware threads and the conversions sharing them.
base::MachineShare machineShare();

// `options` with QVO_WORKER_THREADS and QVO_WORKER_LOG applied.
base::OrderedWorkersOptions withWorkerSwitches(base::OrderedWorkersOptions options);

// QVO_TEST_EXTRACT_LIMIT; none when unset or not a number.
std::optional<uint64_t> testExtractLimit();

// QVO_TEST_WRITER_THREAD=1 and QVO_TEST_NAMED_TEMPORARIES=1.
bool testWriterThread();
bool testNamedTemporaries();

} // namespace qvo::platform
