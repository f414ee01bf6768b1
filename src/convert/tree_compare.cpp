#include "convert/tree_compare.h"

#include "platform/file_contents.h"
#include "platform/file_status.h"

#include <filesystem>

namespace qvo::convert {
namespace {

namespace fs = std::filesystem;

bool holdsNothing(const std::map<std::string, TreeEntry> &tree, const std::string &folder)
{
    const std::string prefix = folder + "/";
    auto next = tree.upper_bound(folder);
    return next == tree.end() || next->first.compare(0, prefix.size(), prefix) != 0;
}

} // namespace

std::map<std::string, TreeEntry> listTree(const std::string &folder)
{
    std::map<std::string, TreeEntry> out;
    std::error_code ec;
    const fs::path root(folder);
    for (fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string full = it->path().string();
        const platform::EntryStatus status = platform::entryStatus(full, false);
        TreeEntry entry;
        switch (status.kind) {
        case platform::EntryStatus::Kind::Missing:
            continue;
        case platform::EntryStatus::Kind::File:
            entry.kind = TreeEntry::Kind::File;
            entry.size = status.size;
            break;
        case platform::EntryStatus::Kind::Folder:
            entry.kind = TreeEntry::Kind::Folder;
            break;
        case platform::EntryStatus::Kind::Link:
            entry.kind = TreeEntry::Kind::Link;
            entry.linkTarget = fs::read_symlink(it->path(), ec).string();
            break;
        case platform::EntryStatus::Kind::Other:
            break;
        }
        out[it->path().lexically_relative(root).generic_string()] = entry;
    }
    if (ec)
        out["\x01unreadable"] = TreeEntry{};
    return out;
}

bool sameTrees(const std::string &original, const std::string &copy, bool emptyFoldersKept,
               std::string &difference)
{
    const auto a = listTree(original);
    const auto b = listTree(copy);
    for (const auto &[name, entry] : a) {
        auto other = b.find(name);
        if (other == b.end()) {
            if (!emptyFoldersKept && entry.kind == TreeEntry::Kind::Folder && holdsNothing(a, name))
                continue;
            difference = "missing in the new archive: " + name;
            return false;
        }
        const TreeEntry &e = other->second;
        if (e.kind != entry.kind || e.size != entry.size || e.linkTarget != entry.linkTarget) {
            difference = "differs in the new archive: " + name;
            return false;
        }
        if (entry.kind == TreeEntry::Kind::File &&
            !platform::sameFileContents((fs::path(original) / name).string(), (fs::path(copy) / name).string())) {
            difference = "contents differ in the new archive: " + name;
            return false;
        }
    }
    for (const auto &[name, entry] : b) {
        if (!a.count(name)) {
            difference = "extra in the new archive: " + name;
            return false;
        }
    }
    return true;
}

} // namespace qvo::convert
