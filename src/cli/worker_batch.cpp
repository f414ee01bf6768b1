#include "cli/worker_batch.h"

#include "base/machine_share.h"
#include "convert/row_dependencies.h"
#include "convert/target_names.h"
#include "convert/working_folder.h"
#include "platform/end_signals.h"
#include "platform/file_status.h"
#include "platform/path_helpers.h"
#include "platform/worker_process.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qvo::cli {

namespace {

using convert::RowOutcome;
using convert::RowReport;

// How often the progress is redrawn while no row finishes.
constexpr int kProgressIntervalMs = 100;
// How long reports gather after some were read.
constexpr auto kReportGathering = std::chrono::milliseconds(1);

// The body of a worker: the rows its channel hands over, until it closes.
int workerBody(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller, InputList &rows,
               platform::MessageChannel &channel)
{
    convert::ConversionEngine engine(settings, controller, &rows);
    bool parentGone = false;
    engine.setRowFinishedHook([&](const RowReport &report) {
        if (!channel.send(encodeRowReport(report, rows.status(report.row))))
            parentGone = true;
    });
    // For tests: QVO_TEST_WORKER_DIES_AT_ROW=N kills the worker that is
    // handed row N, as a crash in a library would, with rows queued behind it.
    const char *dieAt = std::getenv("QVO_TEST_WORKER_DIES_AT_ROW");
    engine.runRows([&]() -> int {
        if (parentGone)
            return -1;
        const std::optional<std::string> message = channel.receive();
        if (!message)
            return -1;
        const int row = std::atoi(message->c_str());
        if (dieAt && row == std::atoi(dieAt))
            std::raise(SIGKILL);
        return row >= 0 && row < rows.rowCount() ? row : -1;
    });
    return parentGone ? 1 : 0;
}

// Rows a worker holds: the one it converts and, while the next are small
// archives, a few of those waiting in its channel, enough for the time
// reports gather (below): a small archive takes about as long as the trip
// to fetch it.  A large one is better left for whichever worker is free
// first.
constexpr size_t kRowsPerWorker = 8;
constexpr int64_t kSmallArchive = 256 * 1024;

struct Worker {
    platform::WorkerProcess process;
    std::deque<int> rows; // the first is being converted
};

class Batch {
public:
    Batch(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller, InputList &rows,
          const WorkerBatchCallbacks &callbacks)
        : settings_(settings), controller_(controller), rows_(rows), callbacks_(callbacks),
          dependencies_(rowFiles()), reports_(size_t(rows.rowCount())), started_(size_t(rows.rowCount()), false)
    {
    }

    int run(unsigned jobs)
    {
        const int total = rows_.rowCount();
        const int endRequests = platform::watchEndRequests();
        std::fflush(nullptr); // a child must not print what the parent buffered
        for (unsigned k = 0; k < jobs; ++k)
            workers_.push_back(startWorker());
        while (done_ < total) {
            handOutRows();
            std::vector<int> descriptors{endRequests};
            for (const auto &worker : workers_)
                descriptors.push_back(worker->rows.empty() ? -1 : worker->process.channel().descriptor());
            const std::vector<bool> ready = platform::waitReadable(descriptors, kProgressIntervalMs);
            if (ready[0]) {
                const int signal = platform::takeEndRequest(endRequests);
                stopAll();
                // Rows done behind one that was not are reported all the same.
                for (; printed_ < reports_.size(); ++printed_)
                    if (reports_[printed_] && callbacks_.rowDone)
                        callbacks_.rowDone(*reports_[printed_]);
                return signal > 0 ? signal : SIGTERM;
            }
            bool reported = false;
            for (size_t k = 0; k < workers_.size(); ++k)
                if (ready[k + 1]) {
                    takeReports(k);
                    reported = true;
                }
            if (callbacks_.progress)
                callbacks_.progress(done_, total);
            if (reported) {
                // Refill first, then let reports gather: woken for each one,
                // this process takes the processors from the workers as
                // often as small archives finish.
                handOutRows();
                std::this_thread::sleep_for(kReportGathering);
            }
        }
        // Closing the channels tells the workers that nothing more comes.
        for (const auto &worker : workers_) {
            worker->process.channel().close();
            worker->process.wait();
        }
        return 0;
    }

private:
    std::vector<convert::RowFiles> rowFiles() const
    {
        std::vector<convert::RowFiles> files;
        for (int row = 0; row < rows_.rowCount(); ++row)
            files.push_back({rows_.folderName(row) + rows_.fileName(row),
                             convert::multipleRunTarget(settings_, rows_.fileName(row), rows_.folderName(row))});
        return files;
    }

    bool small(int row) const
    {
        const int64_t size = platform::regularFileLength(rows_.folderName(row) + rows_.fileName(row));
        return size >= 0 && size <= kSmallArchive;
    }

    std::unique_ptr<Worker> startWorker()
    {
        auto body = [this](platform::MessageChannel &channel) {
            return workerBody(settings_, controller_, rows_, channel);
        };
        return std::make_unique<Worker>(Worker{platform::WorkerProcess::start(body), {}});
    }

    // Gives each worker with room the first row that may start, the idle
    // ones first.
    void handOutRows()
    {
        for (size_t depth = 0; depth < kRowsPerWorker; ++depth)
            for (size_t index = 0; index < workers_.size(); ++index)
                if (workers_[index]->rows.size() <= depth && !handOutRow(index, depth > 0))
                    return;
    }

    // False when no row (or, with `onlySmall`, no small one) may start now.
    bool handOutRow(size_t index, bool onlySmall)
    {
        {
            Worker *worker = workers_[index].get();
            while (firstWaiting_ < started_.size() && started_[firstWaiting_])
                ++firstWaiting_;
            int row = -1;
            for (size_t k = firstWaiting_; k < started_.size(); ++k)
                if (!started_[k] && dependencies_.mayStart(int(k))) {
                    row = int(k);
                    break;
                }
            if (row < 0 || (onlySmall && !small(row)))
                return false;
            if (!worker->process.channel().send(std::to_string(row))) {
                // It ended: the row goes to its successor.
                replaceLostWorker(index);
                worker = workers_[index].get();
                if (!worker->process.channel().send(std::to_string(row)))
                    throw std::runtime_error("a new worker process ended at once: " + worker->process.endText());
            }
            started_[size_t(row)] = true;
            worker->rows.push_back(row);
        }
        return true;
    }

    // Every report the worker has sent so far (one at least: its channel
    // was readable).
    void takeReports(size_t index)
    {
        do {
            Worker &worker = *workers_[index];
            const std::optional<std::string> message = worker.process.channel().receive();
            RowReport report;
            std::string status;
            if (!message || !decodeRowReport(*message, report, status) || worker.rows.empty() ||
                report.row != worker.rows.front()) {
                replaceLostWorker(index);
                return;
            }
            worker.rows.pop_front();
            rowFinished(report, status);
        } while (!workers_[index]->rows.empty() &&
                 platform::waitReadable({workers_[index]->process.channel().descriptor()}, 0)[0]);
    }

    // The worker ended (crashed, killed) while converting its row: the row
    // failed, and a new worker takes its place.  Its working folders are
    // unlocked now; they go with the clean-up at the end.
    void replaceLostWorker(size_t index)
    {
        Worker &worker = *workers_[index];
        worker.process.channel().close();
        worker.process.wait();
        lostWorkers_ = true;
        // The rows after the first never started: they wait again.
        for (size_t k = 1; k < worker.rows.size(); ++k) {
            started_[size_t(worker.rows[k])] = false;
            firstWaiting_ = std::min(firstWaiting_, size_t(worker.rows[k]));
        }
        if (!worker.rows.empty())
            failRow(worker, worker.rows.front());
        workers_[index] = startWorker();
    }

    void failRow(const Worker &worker, int row)
    {
        RowReport report;
        report.row = row;
        report.outcome = RowOutcome::Failed;
        report.source = rows_.folderName(row) + rows_.fileName(row);
        report.detail = "the worker process converting it ended: " + worker.process.endText();
        rowFinished(report, convert::kStatusFailed);
    }

    void rowFinished(const RowReport &report, const std::string &status)
    {
        rows_.setStatus(report.row, status);
        dependencies_.finished(report.row);
        reports_[size_t(report.row)] = report;
        ++done_;
        while (printed_ < reports_.size() && reports_[printed_]) {
            if (callbacks_.rowDone)
                callbacks_.rowDone(*reports_[printed_]);
            reports_[printed_].reset();
            ++printed_;
        }
    }

    void stopAll()
    {
        for (auto &worker : workers_)
            worker->process.stop();
        for (auto &worker : workers_)
            worker->process.wait();
        // Their working folders are unlocked now: nothing of them stays.
        convert::cleanWorkingRoot(platform::getTempFolderName());
    }

public:
    bool lostWorkers() const { return lostWorkers_; }

private:
    settings::clsQvoSettings &settings_;
    backends::clsArchiveCtrl &controller_;
    InputList &rows_;
    const WorkerBatchCallbacks &callbacks_;
    convert::RowDependencies dependencies_;
    std::vector<std::optional<RowReport>> reports_; // done, not yet passed on
    std::vector<bool> started_;
    size_t firstWaiting_ = 0;
    size_t printed_ = 0;
    int done_ = 0;
    bool lostWorkers_ = false;
    std::vector<std::unique_ptr<Worker>> workers_;
};

} // namespace

int convertWithWorkers(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller, InputList &rows,
                       unsigned jobs, const WorkerBatchCallbacks &callbacks)
{
    if (rows.rowCount() == 0)
        return 0;
    jobs = std::max(1u, std::min(jobs, unsigned(rows.rowCount())));
    // Each worker takes its share of the cores and memory budgets.
    base::setConversionsAtOnce(jobs);
    settings.tempFolderName = platform::getTempFolderName();
    convert::cleanWorkingRoot(settings.tempFolderName);
    Batch batch(settings, controller, rows, callbacks);
    const int signal = batch.run(jobs);
    if (signal == 0 && batch.lostWorkers())
        convert::cleanWorkingRoot(settings.tempFolderName);
    return signal;
}

std::string encodeRowReport(const RowReport &report, const std::string &status)
{
    std::string message = std::to_string(report.row) + '\0' + std::to_string(int(report.outcome)) + '\0';
    for (const std::string *field : {&status, &report.source, &report.target, &report.detail, &report.note}) {
        message += *field;
        message += '\0';
    }
    return message;
}

bool decodeRowReport(const std::string &message, RowReport &report, std::string &status)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t end; (end = message.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(message.substr(start, end - start));
    if (fields.size() != 7 || start != message.size())
        return false;
    char *rest = nullptr;
    const long row = std::strtol(fields[0].c_str(), &rest, 10);
    const long outcome = std::strtol(fields[1].c_str(), &rest, 10);
    if (row < 0 || outcome < int(RowOutcome::Converted) || outcome > int(RowOutcome::SameFormat))
        return false;
    report.row = int(row);
    report.outcome = RowOutcome(outcome);
    status = fields[2];
    report.source = fields[3];
    report.target = fields[4];
    report.detail = fields[5];
    report.note = fields[6];
    return true;
}

} // namespace qvo::cli
