// One extract or compress request, passed from the conversion run through
// the controller to a back-end.  Each field has a read accessor and a write
// accessor of the same name; nothing is validated here.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::backends {

class clsArchiveActionOption {
public:
    bool isSavePath() const { return isSavePath_; }
    void isSavePath(bool v) { isSavePath_ = v; }
    const std::string &convTypeKey() const { return convTypeKey_; }
    void convTypeKey(const std::string &v) { convTypeKey_ = v; }
    bool isShowDialog() const { return isShowDialog_; }
    void isShowDialog(bool v) { isShowDialog_ = v; }
    bool isRestorePath() const { return isRestorePath_; }
    void isRestorePath(bool v) { isRestorePath_ = v; }
    bool isOverWrite() const { return isOverWrite_; }
    void isOverWrite(bool v) { isOverWrite_ = v; }
    const std::string &beforeFileName() const { return beforeFileName_; }
    void beforeFileName(const std::string &v) { beforeFileName_ = v; }
    const std::string &afterFileName() const { return afterFileName_; }
    void afterFileName(const std::string &v) { afterFileName_ = v; }
    // The working folder, with a trailing "/": extraction destination and
    // compression source.
    const std::string &targetPathName() const { return targetPathName_; }
    void targetPathName(const std::string &v) { targetPathName_ = v; }
    // The target format's compression setting, as stored in the settings.
    int32_t compressLevel() const { return compressLevel_; }
    void compressLevel(int32_t v) { compressLevel_ = v; }
    bool isUpperExtension() const { return isUpperExtension_; }
    void isUpperExtension(bool v) { isUpperExtension_ = v; }
    // Extraction only: the destination is a conversion's working folder,
    // where links are data (QVO_SWITCH_CONVERSION).
    bool isConversion() const { return isConversion_; }
    void isConversion(bool v) { isConversion_ = v; }
    // Extraction only: when not empty, the file where the library lists the
    // members the archive handed over (QVO_SWITCH_MEMBER_LIST), for the run
    // to check a new archive against its source.
    const std::string &memberListFile() const { return memberListFile_; }
    void memberListFile(const std::string &v) { memberListFile_ = v; }
    // Extraction only: the encoding the user named for member names the
    // archive does not mark (QVO_SWITCH_NAMES); empty to let the library
    // judge it per archive.
    const std::string &nameCharset() const { return nameCharset_; }
    void nameCharset(const std::string &v) { nameCharset_ = v; }
    // Compression only: every name in CP932, or the compression fails
    // (QVO_SWITCH_CP932_NAMES); asked for by qvo-convert --name-encoding.
    bool cp932Names() const { return cp932Names_; }
    void cp932Names(bool v) { cp932Names_ = v; }

private:
    bool isSavePath_ = false;
    bool isShowDialog_ = false;
    bool isRestorePath_ = false;
    bool isOverWrite_ = false;
    std::string beforeFileName_;
    std::string afterFileName_;
    std::string targetPathName_;
    int32_t compressLevel_ = 0;
    bool isUpperExtension_ = false;
    std::string convTypeKey_;
    bool isConversion_ = false;
    std::string memberListFile_;
    std::string nameCharset_;
    bool cp932Names_ = false;
};

} // namespace qvo::backends
