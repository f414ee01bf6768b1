// Typed access to single values of one INI file.
//
// Each getter and setter is one independent read or write of the file: the
// object holds no handle and caches nothing.  Integers are stored as decimal
// text, Booleans as 1 or 0 (the words "true" and "false" in any letter case
// are understood on reading).  Texts are UTF-8 and are read back whole.
//
// Setters report nothing, by design: callers treat the file as best effort.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::settings {

class clsINICtrl {
public:
    // Points the object at `fileName` and reads its version record
    // ("IniVersion" in section "Public"): -1 for a missing file, 0 when the
    // record is absent.
    void setFile(const std::string &fileName);
    int32_t getVersion() const { return version_; }
    void setVersion(int32_t ver);

    // True when `fileName` names an existing ordinary file.
    bool isFile() const;

    // "" when there is no file, section or key, or no setFile yet.
    std::string getString(const std::string &section, const std::string &key) const;
    // -1 for a missing file or no setFile yet; 0 for a missing section or key
    // and for "false"; 1 for "true".  Text that is not a decimal 32-bit integer
    // (letters, a fraction, a number out of range) gives -1 too, so that a
    // caller that keeps its default on -1 keeps it for such text as well.
    int32_t getLong(const std::string &section, const std::string &key) const;
    // getLong(section, key) > 0.
    bool getBool(const std::string &section, const std::string &key) const;

    void setString(const std::string &section, const std::string &key, const std::string &value);
    void setLong(const std::string &section, const std::string &key, int32_t value);
    void setBool(const std::string &section, const std::string &key, bool value);

private:
    void loadVersion();

    std::string fileName_;
    int32_t version_ = 0;
};

// The integer that the text of a stored value stands for, as getLong reads
// it from an existing file.
int32_t parseStoredLong(const std::string &text);

} // namespace qvo::settings
