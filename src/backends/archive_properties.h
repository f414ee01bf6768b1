// What one archive format back-end offers: the record the controller reads
// to pick a back-end and to build file-dialog filters.
#pragma once
#include "identify/archive_identify.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvo::backends {

// Bits of a support mode.
inline constexpr int32_t SUPPORT_COMPRESS = 1; // the format can be a conversion target
inline constexpr int32_t SUPPORT_EXTRACT = 2;  // the format can be a conversion source

class clsArchiveProperties {
public:
    void setValid(bool valid) { valid_ = valid; }
    bool getValid() const { return valid_; }
    void setSupportMode(int32_t mode) { supportMode_ = mode; }
    const std::string &getExtension() const { return extension_; }
    int32_t getSupportMode() const { return supportMode_; }
    void setExtension(const std::string &extension) { extension_ = extension; }
    const std::string &getKeyID() const { return keyID_; }
    void setKeyID(const std::string &keyID) { keyID_ = keyID; }
    // The display name doubles as the registry key.
    void setName(const std::string &name)
    {
        name_ = name;
        keyID_ = name;
    }
    const std::string &getName() const { return name_; }
    // Further extensions the format goes by (lha, lzs, pma for LHA; zipx
    // for ZIP): the back-end takes them as its own and the dialogs offer
    // them.
    void setOtherExtensions(std::vector<std::string> extensions) { otherExtensions_ = std::move(extensions); }
    const std::vector<std::string> &getOtherExtensions() const { return otherExtensions_; }
    // The content this back-end's library reads; None for a back-end that
    // goes by names alone.
    void setContentKind(identify::ArchiveKind kind) { contentKind_ = kind; }
    identify::ArchiveKind getContentKind() const { return contentKind_; }

private:
    std::string name_;
    std::string extension_;
    std::vector<std::string> otherExtensions_;
    identify::ArchiveKind contentKind_ = identify::ArchiveKind::None;
    int32_t supportMode_ = 0;
    bool valid_ = false;
    std::string keyID_;
};

} // namespace qvo::backends
