// The registry of archive format back-ends and the only way the rest of the
// program reaches them: extraction is routed by the source's format (its
// extension, or its content when that is plainly another format or the
// extension names none), creation by the target key of the action option.
#pragma once
#include "backends/archive_backend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qvo::backends {

// What the controller makes of a file.
struct ArchiveCheck {
    std::string key;          // the back-end that reads it; empty for none
    bool laterVolume = false; // a later volume of a set: its first volume reads it
};

class clsArchiveCtrl {
public:
    // Registers under the record's key ID, after the back-ends already there.
    // Throws std::invalid_argument for a null back-end or a key (compared
    // without regard to case) that is already taken.
    void addArchive(std::shared_ptr<clsArchiveBackEnd> backEnd);
    // The back-end for a file (valid, its support mode sharing a bit with
    // `mode`): the one whose extension (or further extension) the file's
    // is, unless the content plainly starts as another format; for a file
    // whose extension no back-end has, the one whose format the content
    // holds (self-extractors included).  A head and a tail are read, not
    // the whole file.
    ArchiveCheck identifyArchive(const std::string &fileName, int32_t mode) const;
    // identifyArchive's key; empty as well for a later volume of a set,
    // which is no archive of its own.
    std::string checkArchive(const std::string &fileName, int32_t mode) const;
    // The key when a folder scan should add the file: files of an archive
    // extension as checkArchive says, self-extracting programs (.exe, .com
    // and the like, or no extension) whose archive lies behind a stub.
    // Documents that are ZIP inside (.docx, .jar, .epub) are left alone.
    std::string checkScannedFile(const std::string &path, int32_t mode) const;
    // Text after the last ".", in lower case; the whole name when there is
    // no ".".
    static std::string getExtensionFromFileName(const std::string &fileName);
    // With a key: that back-end's own entry (mode and validity ignored;
    // empty text for an unknown key).  Without: one "all supported" entry,
    // the entries of the valid back-ends that fit `mode`, and "all files"
    // (dialogFilterText of dialogFilter).
    std::string getDialogFilter(int32_t mode, const std::string &key) const;
    // The filter of the valid back-ends that fit `mode`, in registration
    // order, for a window to word.
    DialogFilter dialogFilter(int32_t mode) const;
    // Routed by convTypeKey; kRequestRefused when it is empty or unknown.
    int32_t compress(clsArchiveActionOption &option);
    // Routed by identifyArchive of beforeFileName; 0 without doing anything
    // when no valid back-end extracts such files.
    int32_t extract(clsArchiveActionOption &option);
    // Whether the back-end under `key` found its library; false for an
    // unknown key.
    bool isValid(const std::string &key) const;

private:
    clsArchiveBackEnd *find(const std::string &key) const;
    // The first back-end whose extensions hold `ext`, qualifying or not.
    const clsArchiveBackEnd *findByExtension(const std::string &ext) const;
    // The first qualifying back-end whose library reads `kind`.
    std::string keyForContent(identify::ArchiveKind kind, int32_t mode) const;

    std::vector<std::pair<std::string, std::shared_ptr<clsArchiveBackEnd>>> registry_;
};

} // namespace qvo::backends
