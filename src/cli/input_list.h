// The archives a qvo-convert run works through, gathered from the command
// line's files and folders.
#pragma once
#include "backends/archive_ctrl.h"
#include "convert/conversion_engine.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace qvo::cli {

struct InputRow {
    std::string fileName;
    std::string folder; // absolute, ending with "/"
    std::string typeKey; // the format found: LHA, ZIP, CAB or RAR
    std::string status = convert::kStatusWaiting;
};

// A named file or folder that adds no row.
struct RejectedInput {
    std::string path;
    std::string reason;
};

class InputList : public convert::ConversionRows {
public:
    // Adds a file (when the controller finds a readable format in it,
    // whatever its name), or the archives a folder holds as a folder scan
    // takes them (its sub-folders too when `recursive`), in name order.
    // Each file is listed once.  A later volume of a set is passed over:
    // its first volume converts the set.
    void add(const std::string &path, const backends::clsArchiveCtrl &controller, bool recursive);

    const std::vector<RejectedInput> &rejected() const { return rejected_; }
    // Named later volumes, with the word why they were passed over.
    const std::vector<RejectedInput> &passedOver() const { return passedOver_; }
    const std::vector<InputRow> &rows() const { return rows_; }
    // Sum of the listed files' sizes in units of 1,000 bytes.
    int64_t totalKB() const;

    int rowCount() const override { return int(rows_.size()); }
    std::string fileName(int row) const override { return rows_[size_t(row)].fileName; }
    std::string folderName(int row) const override { return rows_[size_t(row)].folder; }
    std::string status(int row) const override { return rows_[size_t(row)].status; }
    void setStatus(int row, const std::string &status) override { rows_[size_t(row)].status = status; }

private:
    void addFile(const std::string &absolutePath, const std::string &typeKey);
    void addFolder(const std::string &folder, const backends::clsArchiveCtrl &controller, bool recursive);

    std::vector<InputRow> rows_;
    std::unordered_set<std::string> seen_;
    std::vector<RejectedInput> rejected_;
    std::vector<RejectedInput> passedOver_;
};

} // namespace qvo::cli
