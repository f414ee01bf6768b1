// Where the system keeps temporary files, settings and the running program.
#pragma once
#include "base/unique_fd.h"

#include <string>

namespace qvo::platform {

// The user's temporary folder with a trailing separator: $TMPDIR when it
// is set to an absolute path, else /tmp/qvo-<uid>/, a folder of this user
// alone (created on first use; ~/.cache/qvo/tmp/ when that name is taken by
// something unsafe).
std::string temporaryFolder();

// The root of the conversions' working folders below the temporary folder
// `temporary` (with a trailing separator): temporary + "Qvo/" when that is,
// or can be made, a real folder of this user alone; otherwise the same
// below a folder of the user's own, temporary + "qvo-<uid>/Qvo/".  Never a
// link or another account's folder: anyone may create names in a shared
// temporary folder, and whatever the root holds is removed at the start of
// a run.  Empty when no such folder can be had.
std::string privateWorkingRoot(const std::string &temporary);

// Opens `path` as a folder of this user alone: not through a link, owned by
// the user, no access for others.  Invalid when it is not one.
base::UniqueFd openPrivateFolder(const std::string &path);

// The folder of the running program file, with a trailing separator; empty
// when it cannot be found.
std::string programFolder();

// The user's folder for settings with a trailing separator:
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config/.  Empty when
// no home folder is known.
std::string userConfigFolder();

// The folder for the user's sockets and locks, with a trailing separator:
// $XDG_RUNTIME_DIR when it is an absolute path to a folder of this user
// alone, else the private /tmp/qvo-<uid>/.  Empty when neither is usable.
std::string userRuntimeFolder();

// The value of an environment variable, empty when unset.
std::string environmentValue(const char *name);

// True when the current user may create files in `folder`.
bool folderIsWritable(const std::string &folder);

} // namespace qvo::platform
