// The interface every archive format back-end offers to the controller and
// the windows, and the part of it that all back-ends share.
#pragma once
#include "backends/archive_action_option.h"
#include "backends/archive_properties.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qvo::backends {

// Result of a request that cannot be carried out (no target key, a format
// that cannot be created, a path a command line cannot carry).
inline constexpr int32_t kRequestRefused = -1;
// getLibVersion when the library file is not installed.
inline constexpr int32_t kLibraryNotFound = -3;

class clsArchiveBackEnd {
public:
    virtual ~clsArchiveBackEnd() = default;

    // Version reported by the archiver library, kLibraryNotFound when the
    // library file is missing, 0 when it is there but cannot be used.
    virtual int32_t getLibVersion() = 0;
    // Library file names with versions for display; empty when not valid.
    virtual std::string getLibVersionString() = 0;
    // The back-end's own format record (shared, not a copy).
    virtual std::shared_ptr<clsArchiveProperties> GetProperties() const = 0;
    // Create afterFileName from the contents of targetPathName; 0 = success.
    virtual int32_t compress(clsArchiveActionOption &option) = 0;
    // Extract beforeFileName into targetPathName; 0 = success.
    virtual int32_t extract(clsArchiveActionOption &option) = 0;
    virtual bool isValid() const = 0;
    // This format's entry of a file-dialog filter.
    virtual std::string getDialogFilter() const = 0;
};

// "*.<ext>", then "*.<other>" for each further extension.
std::vector<std::string> dialogFilterPatterns(const clsArchiveProperties &properties);
// "<name>形式書庫ファイル (<patterns>)|<patterns>", the patterns joined by ";".
std::string dialogFilterEntry(const clsArchiveProperties &properties);

// A file dialog's filter as the controller offers it to the windows, which
// word it in their language: first every pattern of the formats together,
// then each format (its name and patterns), then all files.
struct DialogFilter {
    struct Format {
        std::string name; // the format record's name: "LHA"
        std::vector<std::string> patterns;
    };
    std::vector<Format> formats;

    // The patterns of every format, in order.
    std::vector<std::string> allPatterns() const;
};
// The filter in the controller's text form: "対応するすべての形式書庫ファイル(
// <all patterns>)|<all patterns>", each format's entry after a "|", and
// "|すべてのファイル(*.*)|*.*"; patterns joined by ";".
std::string dialogFilterText(const DialogFilter &filter);

// Double-quoted path for a command line.  The libraries' command lines have
// no escape character, so a path holding '"' (or NUL) could smuggle in
// switches or other paths: such a path cannot be carried at all.
bool fitsCommandLine(std::string_view path);
std::string quoted(const std::string &path);

// What a conversion adds to an extract command line: its switches of our
// own, each followed by a space, before the paths ("" when it asks for
// none), and after the destination the member list's path with a space
// before it.  The lines of other callers stay as they always were.
std::string conversionSwitches(const clsArchiveActionOption &option);
std::string memberListPath(const clsArchiveActionOption &option);
// The names switch with the encoding the user named, and a space; "" when
// the names are judged per archive (or the name is not one we offer).
std::string nameCharsetSwitch(const clsArchiveActionOption &option);
// A library's result code in words ("name has no CP932 form"), for logs;
// "unknown" for a code no library returns.
std::string resultDescription(int32_t code);
// True for a compression that failed because a name has no exact CP932
// form while CP932 names were asked for (cp932Names).
bool failedOnNameEncoding(int32_t code);

// What a compress command line adds when the names are to be CP932
// (QVO_SWITCH_CP932_NAMES and a space, before the archive; "" by default).
std::string nameEncodingSwitch(const clsArchiveActionOption &option);
// Whether every path of an extraction can be carried by a command line.
bool extractPathsFit(const clsArchiveActionOption &option);

// Record handling common to the four back-ends.
class clsArchiveBackEndBase : public clsArchiveBackEnd {
public:
    std::shared_ptr<clsArchiveProperties> GetProperties() const override { return properties_; }
    bool isValid() const override { return properties_->getValid(); }
    std::string getDialogFilter() const override { return dialogFilterEntry(*properties_); }

protected:
    // Fills the record in a fixed order: support mode,
    // extension, then the name (which also sets the key).  The derived
    // constructor probes its library and calls setValidFromProbe.
    clsArchiveBackEndBase(int32_t supportMode, const std::string &extension, const std::string &name);
    // The record of a target format, from its row of the target table:
    // created and extracted, named by its key, with its extensions.
    // Throws std::logic_error for a key the table has no row for.
    explicit clsArchiveBackEndBase(std::string_view targetKey);
    void setValidFromProbe(int32_t libVersion) { properties_->setValid(libVersion != kLibraryNotFound); }

    std::shared_ptr<clsArchiveProperties> properties_;
};

} // namespace qvo::backends
