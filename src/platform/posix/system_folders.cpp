#include "platform/system_folders.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace qvo::platform {
namespace {

std::string withTrailingSlash(std::string s)
{
    if (s.empty() || s.back() != '/')
        s += '/';
    return s;
}

std::string homeFolder()
{
    std::string home = environmentValue("HOME");
    if (!home.empty() && home.front() == '/')
        return home;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return {};
}

} // namespace

std::string environmentValue(const char *name)
{
    const char *v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string temporaryFolder()
{
    std::string tmp = environmentValue("TMPDIR");
    if (tmp.empty() || tmp.front() != '/')
        tmp = "/tmp";
    return withTrailingSlash(tmp);
}

std::string programFolder()
{
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string exe(buf, size_t(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return {};
    return exe.substr(0, slash + 1);
}

std::string userConfigFolder()
{
    std::string xdg = environmentValue("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg.front() == '/')
        return withTrailingSlash(xdg);
    std::string home = homeFolder();
    if (home.empty())
        return {};
    return withTrailingSlash(home) + ".config/";
}

bool folderIsWritable(const std::string &folder)
{
    return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

} // namespace qvo::platform
