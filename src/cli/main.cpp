// qvo-convert: converts archives from the command line with the same engine
// and settings semantics as the windows.  It reads and writes no settings
// file: every option comes from the command line.
#include "backends/format_backends.h"
#include "platform/file_status.h"
#include "cli/input_list.h"
#include "cli/options.h"
#include "cli/progress_bar.h"
#include "cli/words.h"
#include "cli/worker_batch.h"
#include "convert/conversion_engine.h"
#include "convert/target_names.h"
#include "platform/end_signals.h"
#include "settings/clsQvoSettings.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <thread>

#ifndef QVO_VERSION
#define QVO_VERSION "unknown"
#endif

using namespace qvo;

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitNotAll = 1;
constexpr int kExitUsage = 2;

// A settings file that can never exist, so that nothing could read or
// write one even by mistake.
constexpr const char *kNoSettingsFile = "/dev/null/qvo3.ini";

void applyOptions(const cli::Options &options, settings::clsQvoSettings &settings)
{
    settings.mode = 1;
    settings.convType = options.convType;
    if (options.compressLevel)
        *settings.compressLevel(options.convType) = *options.compressLevel;
    // Absolute: the ZIP and CAB back-ends pack from inside the working
    // folder, where a relative target would land.
    if (!options.outFolder.empty()) {
        std::error_code ec;
        const std::filesystem::path out = std::filesystem::absolute(options.outFolder, ec);
        settings.saveFolder = ec ? options.outFolder : out.lexically_normal().string();
    }
    settings.sameFolder = options.sameFolder;
    settings.overWrite = options.overwrite;
    settings.sameTypeConvert = options.sameType;
    settings.useUpperExtension = options.upperExtension;
    settings.deleteBeforeFile = options.deleteSource;
    settings.archiveNameCharset = options.nameCharset;
    settings.cp932Names = options.cp932Names;
}

// One line per archive: status, source, the format found in it, and what
// came of it.
std::string reportLine(const convert::RowReport &report, const std::string &status, const std::string &typeKey)
{
    using convert::RowOutcome;
    const std::string format = typeKey.empty() ? "" : " [" + typeKey + "]";
    switch (report.outcome) {
    case RowOutcome::Converted:
        return status + "  " + report.source + format + " -> " + report.target +
               (report.note.empty() ? "" : "  (" + report.note + ")");
    case RowOutcome::Failed:
        return status + "  " + report.source + format + (report.detail.empty() ? "" : "  (" + report.detail + ")");
    case RowOutcome::TargetExists:
        return status + "  " + report.source + format + "  (" + report.target + " exists; --overwrite replaces it)";
    case RowOutcome::SourceMissing:
        return status + "  " + report.source + "  (not found)";
    case RowOutcome::SameFormat:
        return status + "  " + report.source + format + "  (already in the target format; --same-type converts it)";
    }
    return status + "  " + report.source + format;
}

int run(const cli::Options &options)
{
    settings::clsQvoSettings settings(kNoSettingsFile);
    applyOptions(options, settings);
    auto controller = std::make_unique<backends::clsArchiveCtrl>();
    backends::registerFormatBackEnds(*controller);

    const convert::ChosenTarget format = convert::chosenTarget(settings, settings.convType);
    if (!controller->isValid(format.key)) {
        std::fprintf(stderr, "qvo-convert: the %s archiver library is not available\n", format.key.c_str());
        return kExitNotAll;
    }

    cli::InputList inputs;
    for (const std::string &path : options.inputs)
        inputs.add(path, *controller, options.recursive);
    for (const cli::RejectedInput &rejected : inputs.rejected())
        std::fprintf(stderr, "qvo-convert: %s: %s\n", rejected.path.c_str(), rejected.reason.c_str());
    // Not a failure: `qvo-convert *.rar` names every volume of a set.
    if (!options.quiet)
        for (const cli::RejectedInput &later : inputs.passedOver())
            std::printf("qvo-convert: %s: %s\n", later.path.c_str(), later.reason.c_str());

    // Status words and messages speak the windows' language.
    const platform::UiLanguage language = platform::uiLanguage();
    if (const auto shortfall = convert::workingSpaceShortfall(inputs.totalKB())) {
        std::fprintf(stderr, "qvo-convert: %s\n", cli::spaceShortageMessage(*shortfall, language).c_str());
        return kExitNotAll;
    }

    const bool showBar = !options.quiet && platform::standardOutputIsTerminal();
    cli::ProgressBar bar(stdout);
    int converted = 0, failed = 0, skipped = 0, done = 0;
    int finishedRows = 0; // with several jobs, rows finish before their lines are due
    const int total = inputs.rowCount();
    auto rowDone = [&](const convert::RowReport &report) {
        const bool ok = report.outcome == convert::RowOutcome::Converted;
        if (ok)
            ++converted;
        else if (report.outcome == convert::RowOutcome::Failed)
            ++failed;
        else
            ++skipped;
        const std::string line = reportLine(report, cli::statusWord(inputs.status(report.row), language),
                                            inputs.rows()[size_t(report.row)].typeKey);
        if (showBar)
            bar.clear();
        if (!options.quiet)
            std::printf("%s\n", line.c_str());
        else if (!ok)
            std::fprintf(stderr, "%s\n", line.c_str());
        ++done;
        if (showBar)
            bar.draw(std::max(done, finishedRows), total, true);
    };
    const unsigned jobs = options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    if (jobs > 1 && total > 1) {
        cli::WorkerBatchCallbacks callbacks;
        callbacks.rowDone = rowDone;
        callbacks.progress = [&](int finished, int) {
            finishedRows = finished;
            if (showBar)
                bar.draw(std::max(finished, done), total);
        };
        if (const int signal = cli::convertWithWorkers(settings, *controller, inputs, jobs, callbacks)) {
            if (showBar)
                bar.clear();
            std::fflush(stdout);
            platform::endAsBySignal(signal);
        }
    } else {
        convert::ConversionEngine engine(settings, *controller, &inputs, [&] {
            if (showBar)
                bar.draw(done, total);
        });
        engine.setRowFinishedHook(rowDone);
        engine.run();
    }
    if (showBar)
        bar.clear();

    skipped += int(inputs.rejected().size());
    if (!options.quiet)
        std::printf("%d converted, %d failed, %d skipped\n", converted, failed, skipped);
    std::fflush(stdout);
    return failed == 0 && skipped == 0 ? kExitConverted : kExitNotAll;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    cli::Options options;
    std::string error;
    if (!cli::parseOptions(args, options, error)) {
        std::fprintf(stderr, "qvo-convert: %s\nTry 'qvo-convert --help'.\n", error.c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(cli::usageText().c_str(), stdout);
        return kExitConverted;
    }
    if (options.version) {
        std::printf("qvo-convert %s\n", QVO_VERSION);
        return kExitConverted;
    }
    try {
        return run(options);
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "qvo-convert: %s\n", failure.what());
        return kExitNotAll;
    }
}
