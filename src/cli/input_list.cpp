#include "cli/input_list.h"

#include "backends/archive_properties.h"
#include "platform/file_status.h"

#include <algorithm>
#include <filesystem>

namespace qvo::cli {

namespace fs = std::filesystem;

namespace {

std::string absolutePath(const std::string &path)
{
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec)
        full = path;
    return full.lexically_normal().string();
}

} // namespace

void InputList::add(const std::string &path, const backends::clsArchiveCtrl &controller, bool recursive)
{
    std::string full = absolutePath(path);
    std::error_code ec;
    if (fs::is_directory(full, ec)) {
        while (full.size() > 1 && full.back() == '/')
            full.pop_back();
        addFolder(full, controller, recursive);
        return;
    }
    const backends::ArchiveCheck check = controller.identifyArchive(full, backends::SUPPORT_EXTRACT);
    if (check.laterVolume) {
        passedOver_.push_back({path, "a later volume of a multi-volume set: its first volume converts the set"});
        return;
    }
    if (check.key.empty()) {
        rejected_.push_back({path, fs::exists(full, ec) ? "not an archive of a readable format" : "not found"});
        return;
    }
    // A missing archive is listed all the same: the run reports it.
    addFile(full, check.key);
}

void InputList::addFile(const std::string &absolutePath, const std::string &typeKey)
{
    if (!seen_.insert(absolutePath).second)
        return;
    const size_t slash = absolutePath.rfind('/');
    rows_.push_back({absolutePath.substr(slash + 1), absolutePath.substr(0, slash + 1), typeKey});
}

void InputList::addFolder(const std::string &folder, const backends::clsArchiveCtrl &controller, bool recursive)
{
    std::vector<std::pair<std::string, std::string>> files; // path, type key
    std::vector<std::string> folders;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        const std::string path = it->path().string();
        // Links to folders are not followed: they could loop.
        if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
            folders.push_back(path);
        } else if (it->is_regular_file(typeError)) {
            std::string key = controller.checkScannedFile(path, backends::SUPPORT_EXTRACT);
            if (!key.empty())
                files.emplace_back(path, std::move(key));
        }
    }
    if (ec)
        rejected_.push_back({folder, "cannot be listed: " + ec.message()});
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const auto &[file, key] : files)
        addFile(file, key);
    if (recursive)
        for (const std::string &sub : folders)
            addFolder(sub, controller, true);
}

int64_t InputList::totalKB() const
{
    int64_t bytes = 0;
    for (const InputRow &row : rows_) {
        const platform::EntryStatus status = platform::entryStatus(row.folder + row.fileName, true);
        if (status.kind != platform::EntryStatus::Kind::Missing)
            bytes += int64_t(status.size);
    }
    return (bytes + 500) / 1000;
}

} // namespace qvo::cli
