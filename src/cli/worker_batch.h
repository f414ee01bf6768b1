// qvo-convert --jobs N: the rows of one list converted by up to N worker
// processes at once.  Each worker is a fork of this program that runs the
// engine over the rows it is handed, one at a time, each in its own working
// folder exactly as a run of one process does; a process of its own gives
// it its own current directory (the ZIP and CAB writers pack from inside
// the working folder) and its own library state.  Rows that share a file
// wait for each other (convert/row_dependencies.h).
#pragma once
#include "backends/archive_ctrl.h"
#include "cli/input_list.h"
#include "convert/conversion_engine.h"
#include "settings/clsQvoSettings.h"

#include <functional>
#include <string>

namespace qvo::cli {

struct WorkerBatchCallbacks {
    // Each row's report, in list order, once it and every row before it
    // are done; the row's status is already in the list.
    std::function<void(const convert::RowReport &)> rowDone;
    // Rows done so far (in any order), called often.
    std::function<void(int done, int total)> progress;
};

// Converts every row of `rows` with `jobs` worker processes (fewer when
// there are fewer rows).  Returns 0 when every row is done, or the signal
// (SIGINT, SIGTERM, SIGHUP) that asked to stop: then every worker has ended
// and their working folders are gone, rows done have been passed on (in
// list order, with gaps where rows were not done) and the others keep
// their status.
int convertWithWorkers(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller, InputList &rows,
                       unsigned jobs, const WorkerBatchCallbacks &callbacks);

// A row's report as a worker sends it, and back.
std::string encodeRowReport(const convert::RowReport &report, const std::string &status);
bool decodeRowReport(const std::string &message, convert::RowReport &report, std::string &status);

} // namespace qvo::cli
