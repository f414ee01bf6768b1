#include "platform/volume.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace qvo::platform {
namespace {

bool isFolder(const std::string &p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

// Undoes the octal escapes (\040 for a blank) of /proc/self/mountinfo.
std::string unescapeMountField(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && isOctal(s[i + 1]) && isOctal(s[i + 2]) &&
            isOctal(s[i + 3])) {
            out += char(std::stoi(s.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool isBelow(const std::string &path, const std::string &mount)
{
    if (mount == "/")
        return true;
    return path == mount || (path.starts_with(mount) && path[mount.size()] == '/');
}

std::string mountPointFromTable(const std::string &path)
{
    std::ifstream table("/proc/self/mountinfo");
    std::string line, best;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, devno, root, mount;
        if (!(fields >> id >> parent >> devno >> root >> mount))
            continue;
        mount = unescapeMountField(mount);
        if (isBelow(path, mount) && mount.size() >= best.size())
            best = mount;
    }
    return best;
}

// Without a mount table: the highest ancestor on the same device.
std::string mountPointByDevice(std::filesystem::path p)
{
    struct stat st;
    if (::stat(p.c_str(), &st) != 0)
        return {};
    while (p.has_relative_path()) {
        struct stat up;
        std::filesystem::path parent = p.parent_path();
        if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev)
            break;
        p = parent;
    }
    return p.string();
}

} // namespace

std::string nearestExistingFolder(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path p = path.empty() ? std::filesystem::path(".") : std::filesystem::path(path);
    p = std::filesystem::absolute(p, ec);
    if (ec)
        return {};
    p = p.lexically_normal();
    for (;;) {
        if (isFolder(p.string()))
            return p.string();
        if (!p.has_relative_path())
            return {};
        p = p.parent_path();
    }
}

int64_t freeBytesAvailable(const std::string &path)
{
    std::string folder = nearestExistingFolder(path);
    struct statvfs vfs;
    if (folder.empty() || ::statvfs(folder.c_str(), &vfs) != 0)
        return -1;
    return int64_t(uint64_t(vfs.f_bavail) * uint64_t(vfs.f_frsize));
}

std::string mountPointOf(const std::string &path)
{
    std::string folder = nearestExistingFolder(path);
    if (folder.empty())
        return {};
    std::error_code ec;
    std::string real = std::filesystem::canonical(folder, ec).string();
    if (ec)
        return {};
    std::string mount = mountPointFromTable(real);
    if (mount.empty())
        mount = mountPointByDevice(real);
    if (mount.empty())
        return {};
    if (mount.back() != '/')
        mount += '/';
    return mount;
}

} // namespace qvo::platform
