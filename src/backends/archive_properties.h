// What one archive format back-end offers: the record the controller reads
// to pick a back-end and to build file-dialog filters.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::archive {

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

private:
    std::string name_;
    std::string extension_;
    int32_t supportMode_ = 0;
    bool valid_ = false;
    std::string keyID_;
};

} // namespace qvo::archive
