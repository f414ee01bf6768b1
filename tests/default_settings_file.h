// The settings file a first start writes: every value at its default, the
// multiple-file window at (0, 0).
#pragma once
#include <string>

namespace qvo::test {

// The 24 lines every settings file starts with.
inline const std::string kStoredSettingsLayout = "[system]\n"
                                                "top=0\n"
                                                "left=0\n"
                                                "mode=1\n"
                                                "backGroundConvert=0\n"
                                                "dialogAutoClose=0\n"
                                                "deleteBeforeFile=0\n"
                                                "[conv]\n"
                                                "saveFolder=\n"
                                                "convType=0\n"
                                                "sameFolder=0\n"
                                                "useUpperExtension=0\n"
                                                "sameTypeConvert=0\n"
                                                "lhaCompressLevel=2\n"
                                                "zipCompressLevel=6\n"
                                                "cabCompressLevel=10\n"
                                                "overWrite=0\n"
                                                "[singlefilemode]\n"
                                                "convType=0\n"
                                                "sameName=0\n"
                                                "beforeFileName=\n"
                                                "convToFileName=\n"
                                                "top=0\n"
                                                "left=0\n";

// Keys of our own, written after those lines.
inline const std::string kOwnSettingsKeys = "[names]\n"
                                            "archiveNameEncoding=auto\n";

inline const std::string kDefaultSettingsFile = kStoredSettingsLayout + kOwnSettingsKeys;

} // namespace qvo::test
