#include "convert/conversion_engine.h"

#include "backends/archive_backend.h"
#include "base/ascii.h"
#include "platform/file_status.h"
#include "platform/path_helpers.h"
#include "convert/target_names.h"
#include "convert/member_list.h"
#include "convert/name_notes.h"
#include "convert/working_folder.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace qvo::convert {
using base::asciiLower;

namespace {

// Emptied working folders kept for the next archives of a run: one for the
// extraction and one for the read-back.
constexpr size_t kMaxSpareFolders = 2;
// Only the folders of archives up to this size are kept: a large tree is
// better made in a new folder, away from the inodes just freed (see
// platform::spreadSubfolders), than in the emptied one.
constexpr uint64_t kMaxSpareSourceBytes = 1u << 20;

std::string codeText(int32_t code)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(code));
    return std::to_string(code) + " (" + buf + ", " + backends::resultDescription(code) + ")";
}

// Why packing `folder` failed; a name without a CP932 form is named.
std::string compressionFailure(int32_t code, const std::string &folder)
{
    std::string detail = "compression failed: " + codeText(code);
    if (backends::failedOnNameEncoding(code)) {
        const std::string name = firstNameWithoutCp932(folder);
        if (!name.empty())
            detail += ": \"" + name + "\" cannot be written in CP932";
    }
    return detail;
}

void addNote(std::string &note, const std::string &more)
{
    if (!more.empty())
        note += (note.empty() ? "" : "; ") + more;
}

// What an archive of a format without links (`key`) made from `source`
// leaves out that the user may miss: links leading outside the archive
// (the others its writer keeps as their files' content, or has nothing to
// keep of).
std::string linksNote(const MemberList &source, const std::string &key)
{
    const size_t out = linksLeadingOutside(source);
    if (out == 0)
        return {};
    return std::to_string(out) + (out == 1 ? " symbolic link" : " symbolic links") +
           " leading outside the archive left out: a " + key + " archive holds no links";
}

// The two paths name one file (the same path, or links to one file).
bool sameFile(const std::string &a, const std::string &b)
{
    if (a == b)
        return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

} // namespace

struct ConversionEngine::Impl {
    ConversionEngine &e;
    // Working folders of archives done, emptied: the next archive takes one
    // under its own name instead of a new folder (see WorkingFolder::clear).
    std::vector<std::unique_ptr<WorkingFolder>> spares;
    // Where the libraries list the members of a source and of its new
    // archive: a working folder of its own for the whole run, locked like
    // the others, so that no clean-up takes a list and no member meets one.
    std::unique_ptr<WorkingFolder> lists;

    std::string listFile(const char *name)
    {
        if (!lists)
            lists = std::make_unique<WorkingFolder>(e.settings_.tempFolderName, "", "members");
        return lists->path() + name;
    }

    // The list a library wrote, read and removed.
    static std::optional<MemberList> takeMemberList(const std::string &path)
    {
        std::optional<MemberList> list = readMemberList(path);
        platform::removeFile(path);
        return list;
    }

    std::unique_ptr<WorkingFolder> workingFolderFor(const std::string &base)
    {
        while (!spares.empty()) {
            std::unique_ptr<WorkingFolder> folder = std::move(spares.back());
            spares.pop_back();
            if (folder->rename(base))
                return folder;
        }
        return std::make_unique<WorkingFolder>(e.settings_.tempFolderName, "", base);
    }

    // Done with a working folder that held the contents of `archive`:
    // emptied and kept, or removed.
    void release(std::unique_ptr<WorkingFolder> folder, const std::string &archive)
    {
        std::error_code ec;
        const auto size = std::filesystem::file_size(archive, ec);
        if (!ec && size <= kMaxSpareSourceBytes && spares.size() < kMaxSpareFolders && folder->clear())
            spares.push_back(std::move(folder));
        else
            folder->remove();
    }

    void yield()
    {
        if (e.yield_)
            e.yield_();
    }

    backends::clsArchiveActionOption newOption(const std::string &before, const std::string &after,
                                              const std::string &workingFolder, const ChosenTarget &format)
    {
        backends::clsArchiveActionOption option;
        option.beforeFileName(before);
        option.afterFileName(after);
        option.targetPathName(workingFolder);
        option.isRestorePath(true);
        option.isShowDialog(false);
        option.isSavePath(true);
        option.isOverWrite(e.settings_.overWrite);
        option.isConversion(true);
        option.compressLevel(format.compressLevel);
        option.convTypeKey(format.key);
        option.isUpperExtension(e.settings_.useUpperExtension);
        option.nameCharset(e.settings_.archiveNameCharset);
        option.cp932Names(e.settings_.cp932Names);
        return option;
    }

    // Reads the new archive back into a second working folder and compares
    // the members it holds with those the source handed over: a member the
    // extraction or the writer lost shows, whatever the working folder
    // held.  Only a verified archive lets its source go.
    bool verify(const backends::clsArchiveActionOption &packed, const backends::TargetHolds &holds,
                const MemberList &source, const std::string &base, std::string &detail)
    {
        if (e.controller_.checkArchive(packed.afterFileName(), backends::SUPPORT_EXTRACT).empty()) {
            detail = "the new archive cannot be read back to verify it";
            return false;
        }
        std::unique_ptr<WorkingFolder> readBack = workingFolderFor(base);
        backends::clsArchiveActionOption option = packed;
        option.beforeFileName(packed.afterFileName());
        option.targetPathName(readBack->path());
        option.nameCharset(""); // the user's encoding was for the source; ours marks its names
        option.memberListFile(listFile("copy"));
        const int32_t result = e.controller_.extract(option);
        const std::optional<MemberList> copy = takeMemberList(option.memberListFile());
        if (result != 0) {
            detail = "reading the new archive back failed: " + codeText(result);
            return false;
        }
        if (!copy) {
            detail = "the members of the new archive could not be listed";
            return false;
        }
        bool same = sameMembers(source, *copy, holds, detail);
        // The writers compose decomposed names (unless two would then be one).
        if (const std::optional<MemberList> composed = same ? std::nullopt : withComposedNames(source))
            same = sameMembers(*composed, *copy, holds, detail);
        release(std::move(readBack), packed.afterFileName());
        return same;
    }

    void setCurrent(const std::optional<backends::clsArchiveActionOption> &option)
    {
        std::lock_guard<std::mutex> guard(e.currentLock_);
        e.current_ = option;
    }

    void finishRow(RowReport &report)
    {
        if (e.rowFinished_)
            e.rowFinished_(report);
    }

    // Whether the source already is in the target format: by its format
    // as the controller finds it (x.lha is LHA as much as x.lzh is), or by
    // its extension when no back-end takes it.
    bool alreadyInFormat(const std::string &source, const ChosenTarget &format) const
    {
        if (format.extension.empty())
            return false;
        const std::string key = e.controller_.checkArchive(source, backends::SUPPORT_EXTRACT);
        if (!key.empty())
            return asciiLower(key) == asciiLower(format.key);
        const size_t length = format.extension.size();
        return source.size() >= length && asciiLower(source.substr(source.size() - length)) == asciiLower(format.extension);
    }

    // One row of a multiple-file run; the status is written here, the
    // outcome returned in `report`.
    void convertRow(int row, RowReport &report)
    {
        ConversionRows &rows = *e.rows_;
        const settings::clsQvoSettings &s = e.settings_;
        const std::string fileName = rows.fileName(row);
        const std::string folder = rows.folderName(row);
        const std::string before = folder + fileName;
        report.source = before;
        if (!platform::fileExists(before)) {
            report.outcome = RowOutcome::SourceMissing;
            return;
        }
        const ChosenTarget format = chosenTarget(s, s.convType);
        if (!format.format) {
            report.detail = "the settings name no target format";
            return;
        }
        const std::string after = multipleRunTarget(s, fileName, folder);
        report.target = after;

        if (!s.overWrite && platform::fileExists(after)) {
            rows.setStatus(row, kStatusTargetExists);
            report.outcome = RowOutcome::TargetExists;
            return;
        }
        // Saving next to the source needs no save folder (which may be
        // stale or unreachable then).
        if (!s.sameFolder)
            platform::createFolder(s.saveFolder);
        if (!s.sameTypeConvert && alreadyInFormat(before, format)) {
            report.outcome = RowOutcome::SameFormat;
            return;
        }

        rows.setStatus(row, kStatusFailed);
        report.outcome = RowOutcome::Failed;
        yield();
        // The controller "extracts" a file of no known format by doing
        // nothing and reporting success; such a file is no conversion.
        if (e.controller_.checkArchive(before, backends::SUPPORT_EXTRACT).empty()) {
            report.detail = "not an archive of a readable format";
            return;
        }
        const std::string base = workingBaseName(fileName);
        std::unique_ptr<WorkingFolder> working = workingFolderFor(base);
        backends::clsArchiveActionOption option = newOption(before, after, working->path(), format);
        // A source that may be deleted lists its members as they are
        // extracted: the new archive is checked against them.  So does a
        // source for a format without links, which leaves them out (the
        // row says so).
        const backends::TargetHolds &holds = format.format->holds;
        const bool listed = s.deleteBeforeFile || !holds.links;
        if (listed)
            option.memberListFile(listFile("source"));
        setCurrent(option);
        int32_t result = e.controller_.extract(option);
        std::optional<MemberList> sourceMembers;
        if (listed)
            sourceMembers = takeMemberList(option.memberListFile());
        if (result != 0) {
            report.detail = "extraction failed: " + codeText(result);
            return;
        }
        if (listed && !sourceMembers) {
            report.detail = "the members of the source could not be listed";
            return;
        }
        yield();
        if (!holds.links)
            report.note = linksNote(*sourceMembers, format.key);
        addNote(report.note, keptDecomposedNote(working->path()));
        // The old target stays until the new archive replaces it whole:
        // the libraries write under a temporary name and rename.
        result = e.controller_.compress(option);
        if (result != 0) {
            // Links alone leave a format without links nothing to hold: the
            // note says why.
            report.detail = compressionFailure(result, working->path());
            if (!report.note.empty())
                report.detail += "; " + report.note;
            return;
        }
        const bool sourceIsTarget = sameFile(before, after);
        if (s.deleteBeforeFile && !sourceIsTarget && !verify(option, holds, *sourceMembers, base, report.detail))
            return;
        yield();
        release(std::move(working), before);
        // The new archive must be on disk before its source goes.
        if (s.deleteBeforeFile && !sourceIsTarget && !platform::syncFileToDisk(after)) {
            report.detail = "the new archive could not be synced to disk";
            return;
        }
        if (s.deleteBeforeFile && !sourceIsTarget && !platform::removeFile(before) && platform::fileExists(before)) {
            report.detail = "the source could not be deleted";
            return;
        }
        rows.setStatus(row, kStatusSucceeded);
        report.outcome = RowOutcome::Converted;
    }

    void runOneRow(int row)
    {
        yield();
        RowReport report;
        report.row = row;
        try {
            convertRow(row, report);
        } catch (const std::exception &error) {
            report.outcome = RowOutcome::Failed;
            report.detail = error.what();
        } catch (...) {
            report.outcome = RowOutcome::Failed;
            report.detail = "unexpected error";
        }
        if (report.outcome == RowOutcome::Failed) {
            try {
                e.rows_->setStatus(row, kStatusFailed);
            } catch (...) {
            }
        }
        setCurrent(std::nullopt);
        finishRow(report);
        ++e.counters_.doneCount;
    }

    // The rows `next` hands out, in its order, until it gives -1.
    void runMultiple(const std::function<int()> &next)
    {
        e.counters_.totalCount = e.rows_ ? e.rows_->rowCount() : 0;
        if (e.rows_)
            for (int row = next(); row >= 0; row = next())
                runOneRow(row);
        spares.clear();
        lists.reset();
    }

    SingleFileOutcome convertSingle()
    {
        const settings::clsQvoSettings &s = e.settings_;
        const std::string before = s.singleBeforeFileName;
        const ChosenTarget format = chosenTarget(s, s.singleConvType);
        const std::string after = singleRunTarget(s);
        e.singleTarget_ = after;
        if (!platform::fileExists(before))
            return SingleFileOutcome::SourceMissing;
        if (e.controller_.checkArchive(before, backends::SUPPORT_EXTRACT).empty()) {
            e.singleDetail_ = "not an archive of a readable format";
            return SingleFileOutcome::Failed;
        }
        if ((!s.singleSameName && fileNamePart(s.singleConvToFileName).empty()) || after.empty() ||
            after.back() == '/') {
            e.singleDetail_ = "no target file named";
            return SingleFileOutcome::Failed;
        }
        const std::string name = fileNamePart(before);
        WorkingFolder working(s.tempFolderName, singleWorkingName(name), workingBaseName(name));
        backends::clsArchiveActionOption option = newOption(before, after, working.path(), format);
        setCurrent(option);

        e.counters_.doneCount = 1;
        yield();
        int32_t result = e.controller_.extract(option);
        if (result != 0) {
            e.singleDetail_ = "extraction failed: " + codeText(result);
            return SingleFileOutcome::ExtractFailed;
        }
        e.counters_.doneCount = 2;
        yield();
        // The libraries always write a new archive (replacing an old one
        // only when complete), never add to an existing one.
        result = e.controller_.compress(option);
        if (result != 0) {
            e.singleDetail_ = compressionFailure(result, working.path());
            return SingleFileOutcome::CompressFailed;
        }
        e.counters_.doneCount = 3;
        yield();
        working.remove();
        return SingleFileOutcome::Succeeded;
    }

    void runSingle()
    {
        yield();
        e.counters_.totalCount = 4;
        try {
            e.singleOutcome_ = convertSingle();
        } catch (const std::exception &error) {
            e.singleOutcome_ = SingleFileOutcome::Failed;
            e.singleDetail_ = error.what();
        } catch (...) {
            e.singleOutcome_ = SingleFileOutcome::Failed;
            e.singleDetail_ = "unexpected error";
        }
        setCurrent(std::nullopt);
        e.counters_.doneCount = 4;
    }
};

ConversionEngine::ConversionEngine(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller,
                                   ConversionRows *rows, std::function<void()> yield)
    : settings_(settings), controller_(controller), rows_(rows), yield_(std::move(yield))
{
}

ConversionEngine::~ConversionEngine() = default;

void ConversionEngine::run()
{
    Impl impl{*this, {}, {}};
    counters_.doneCount = 0;
    counters_.totalCount = 0;
    counters_.finished = false;
    singleOutcome_ = SingleFileOutcome::NotRun;
    singleDetail_.clear();
    try {
        settings_.tempFolderName = platform::getTempFolderName();
        cleanWorkingRoot(settings_.tempFolderName);
    } catch (...) {
        // A root that cannot be cleaned fails each archive on its own.
    }
    try {
        if (settings_.mode == 1) {
            int row = 0;
            const int count = rows_ ? rows_->rowCount() : 0;
            impl.runMultiple([&] { return row < count ? row++ : -1; });
        } else {
            impl.runSingle();
        }
    } catch (...) {
        // Rows catch their own failures; this only guards the hooks.
    }
    counters_.doneCount = counters_.totalCount.load();
    counters_.finished = true;
}

void ConversionEngine::runRows(const std::function<int()> &nextRow)
{
    Impl impl{*this, {}, {}};
    counters_.doneCount = 0;
    counters_.finished = false;
    settings_.tempFolderName = platform::getTempFolderName();
    try {
        impl.runMultiple(nextRow);
    } catch (...) {
        // Rows catch their own failures; this only guards the hooks.
    }
    counters_.finished = true;
}

} // namespace qvo::convert
