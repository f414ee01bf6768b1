// Loading shared objects at run time and finding C functions in them.
#pragma once
#include <filesystem>
#include <string>

namespace qvo::platform {

// One shared object loaded from an exact file (no search path).  A loaded
// object is never unloaded: function pointers taken from it may live
// anywhere in the program, so it stays mapped until the process ends.
class DynamicLibrary {
public:
    enum class Status {
        Loaded,   // mapped; symbol() may be asked
        NotFound, // no file at that path
        Unusable, // the file exists but could not be loaded
    };

    // A library that was never loaded (status NotFound, no error text).
    DynamicLibrary() = default;

    static DynamicLibrary load(const std::filesystem::path &file);

    Status status() const { return status_; }
    bool loaded() const { return status_ == Status::Loaded; }
    // Why loading failed, for messages; empty when loaded.
    const std::string &error() const { return error_; }

    // Address of an exported function or object, nullptr when the library is
    // not loaded or does not export `name`.
    void *symbol(const char *name) const;

    // Folder holding the running executable, without a trailing separator;
    // empty when it cannot be determined.  Program-relative library folders
    // are found from here.
    static std::filesystem::path programFolder();

private:
    void *handle_ = nullptr;
    Status status_ = Status::NotFound;
    std::string error_;
};

} // namespace qvo::platform
