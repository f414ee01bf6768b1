// The conversion run, without widgets.
//
// One run converts either the rows of the multiple-file list or the one
// single-file request, reading every option from the settings object.  Each
// archive is extracted into its own working folder below the working root
// and that folder is packed into the target archive.  The progress window
// and qvo-convert both drive this engine; the window runs it on a worker
// thread and reads the counters from its timer.
#pragma once
#include "backends/archive_action_option.h"
#include "backends/archive_ctrl.h"
#include "settings/clsQvoSettings.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace qvo::convert {

// Status texts of a list row.
inline constexpr const char *kStatusWaiting = "変換待ち";
inline constexpr const char *kStatusSucceeded = "変換成功";
inline constexpr const char *kStatusFailed = "変換失敗";
inline constexpr const char *kStatusTargetExists = "同名ファイルが存在";

// Shown instead of starting a single-file run whose source has gone.
inline constexpr const char *kSourceMissingMessage =
    "変換対象のファイルは存在しません。ファイル名を確認してください";

// The rows of the multiple-file list as the run sees them.  setStatus may
// be called from the engine's thread: a window implementation hands the
// update to its own thread.
class ConversionRows {
public:
    virtual ~ConversionRows() = default;
    virtual int rowCount() const = 0;
    virtual std::string fileName(int row) const = 0;   // the file name alone
    virtual std::string folderName(int row) const = 0; // its folder, ending with "/"
    virtual std::string status(int row) const = 0;
    virtual void setStatus(int row, const std::string &status) = 0;
};

// Step counters, read by the progress display while the run goes on.
struct ConversionCounters {
    std::atomic<int32_t> totalCount{0};
    std::atomic<int32_t> doneCount{0};
    std::atomic<bool> finished{false}; // run() has returned (also for an empty run)
};

// How a single-file run ended.
enum class SingleFileOutcome {
    NotRun,
    Succeeded,
    SourceMissing,   // the source named in the settings does not exist
    ExtractFailed,
    CompressFailed,
    Failed,          // any other failure (working folder, library unreachable)
};

// How one row of a multiple-file run ended.  The status text says less:
// a missing source and a same-format skip leave it unchanged.
enum class RowOutcome {
    Converted,     // "変換成功"
    Failed,        // "変換失敗"
    TargetExists,  // "同名ファイルが存在"
    SourceMissing, // status unchanged
    SameFormat,    // status unchanged: same format and sameTypeConvert off
};

struct RowReport {
    int row = 0;
    RowOutcome outcome = RowOutcome::Failed;
    std::string source; // full path of the source archive
    std::string target; // full path of the target archive ("" before it was named)
    std::string detail; // why a row failed, in English, for logs
    std::string note;   // what a converted row's new archive left out, in English
};

class ConversionEngine {
public:
    // `rows` is used in multiple-file mode (settings.mode == 1) and may be
    // null in single-file mode.  `yield` is called wherever the run lets
    // the event loop breathe; it may be empty.
    ConversionEngine(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller,
                     ConversionRows *rows, std::function<void()> yield = {});
    ~ConversionEngine();

    // Called on the engine's thread when a row is done, after its status
    // was written and before doneCount advances.
    void setRowFinishedHook(std::function<void(const RowReport &)> hook) { rowFinished_ = std::move(hook); }

    // Carries out the whole run.  Never throws: a failure marks its row
    // "変換失敗" (or sets the single-file outcome) and the run goes on.
    void run();

    // A multiple-file run over the rows `nextRow` hands out, one at a time,
    // until it gives -1: each of qvo-convert's worker processes runs one
    // over its share of a list.  Each row goes exactly as in run(); the
    // working root is not cleaned, which the caller did once for all.
    void runRows(const std::function<int()> &nextRow);

    const ConversionCounters &counters() const { return counters_; }
    SingleFileOutcome singleFileOutcome() const { return singleOutcome_; }
    // The archive the single-file run wrote (or would have written).
    const std::string &singleFileTarget() const { return singleTarget_; }
    // The action option of the archive being converted; nothing between
    // archives.  A copy: the run may replace it at any moment.
    std::optional<backends::clsArchiveActionOption> currentOption() const
    {
        std::lock_guard<std::mutex> guard(currentLock_);
        return current_;
    }
    // Why the single-file run failed, in English, for logs.
    const std::string &singleFileDetail() const { return singleDetail_; }

private:
    struct Impl;
    settings::clsQvoSettings &settings_;
    backends::clsArchiveCtrl &controller_;
    ConversionRows *rows_;
    std::function<void()> yield_;
    std::function<void(const RowReport &)> rowFinished_;
    ConversionCounters counters_;
    SingleFileOutcome singleOutcome_ = SingleFileOutcome::NotRun;
    std::string singleTarget_;
    std::string singleDetail_;
    mutable std::mutex currentLock_;
    std::optional<backends::clsArchiveActionOption> current_;
};

} // namespace qvo::convert
