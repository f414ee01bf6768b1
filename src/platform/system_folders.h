// Where the system keeps temporary files, settings and the running program.
#pragma once
#include <string>

namespace qvo::platform {

// The user's temporary folder with a trailing separator: $TMPDIR when it
// is set to an absolute path, else /tmp/qvo-<uid>/, a folder of this user
// alone (created on first use; ~/.cache/qvo/tmp/ when that name is taken by
// something unsafe).
std::string temporaryFolder();

// The folder of the running program file, with a trailing separator; empty
// when it cannot be found.
std::string programFolder();

// The user's folder for settings with a trailing separator:
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config/.  Empty when
// no home folder is known.
std::string userConfigFolder();

// The value of an environment variable, empty when unset.
std::string environmentValue(const char *name);

// True when the current user may create files in `folder`.
bool folderIsWritable(const std::string &folder);

} // namespace qvo::platform
