// The registry of archive format back-ends and the only way the rest of the
// program reaches them: extraction is routed by the source's extension,
// creation by the target key of the action option.
#pragma once
#include "backends/archive_backend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qvo::archive {

class clsArchiveCtrl {
public:
    // Registers under the record's key ID, after the back-ends already there.
    // Throws std::invalid_argument for a null back-end or a key (compared
    // without regard to case) that is already taken.
    void addArchive(std::shared_ptr<clsArchiveBackEnd> backEnd);
    // Key ID of the first registered back-end whose extension matches the
    // file's, whose library is valid and whose support mode shares a bit
    // with `mode`; empty text when none does.  The contents are not read.
    std::string checkArchive(const std::string &fileName, int32_t mode) const;
    // Text after the last ".", in lower case; the whole name when there is
    // no ".".
    static std::string getExtensionFromFileName(const std::string &fileName);
    // With a key: that back-end's own entry (mode and validity ignored;
    // empty text for an unknown key).  Without: one "all supported" entry,
    // the entries of the valid back-ends that fit `mode`, and "all files".
    std::string getDialogFilter(int32_t mode, const std::string &key) const;
    // Routed by convTypeKey; kRequestRefused when it is empty or unknown.
    int32_t compress(clsArchiveActionOption &option);
    // Routed by the extension of beforeFileName; 0 without doing anything
    // when no valid back-end extracts such files.
    int32_t extract(clsArchiveActionOption &option);
    // Whether the back-end under `key` found its library; false for an
    // unknown key.
    bool isValid(const std::string &key) const;

private:
    clsArchiveBackEnd *find(const std::string &key) const;

    std::vector<std::pair<std::string, std::shared_ptr<clsArchiveBackEnd>>> registry_;
};

} // namespace qvo::archive
