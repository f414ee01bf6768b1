#include "platform/system_folders.h"

#include "platform/posix/private_folder.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
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

// $XDG_CACHE_HOME when it is an absolute path, else ~/.cache/; empty
// without a home folder.
std::string userCacheFolder()
{
    std::string xdg = environmentValue("XDG_CACHE_HOME");
    if (!xdg.empty() && xdg.front() == '/')
        return withTrailingSlash(xdg);
    std::string home = homeFolder();
    return home.empty() ? std::string() : withTrailingSlash(home) + ".cache/";
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
    if (!tmp.empty() && tmp.front() == '/')
        return withTrailingSlash(tmp);
    // Like a per-user temporary folder on other systems: /tmp itself is
    // shared, so conversions of two accounts would meet in one working root.
    std::string own = privateFolderBelow("/tmp", ::getuid());
    if (!own.empty())
        return own;
    if (std::string cache = userCacheFolder(); !cache.empty()) {
        std::string fallback = cache + "qvo/tmp/";
        if (ensurePrivateFolder(fallback, ::getuid()))
            return fallback;
    }
    // Nothing safe: name the private folder anyway, so that creating the
    // working folders fails clearly instead of writing somewhere shared.
    return "/tmp/qvo-" + std::to_string(::getuid()) + "/";
}

std::string privateWorkingRoot(const std::string &temporary)
{
    const std::string base = withTrailingSlash(temporary);
    // A temporary folder that does not exist yet is made as mkdir -p would.
    for (size_t slash = base.find('/', 1); slash != std::string::npos; slash = base.find('/', slash + 1))
        ::mkdir(base.substr(0, slash).c_str(), 0777);
    if (claimPrivateFolder(base + "Qvo", ::getuid()))
        return base + "Qvo/";
    // Taken by something that is not ours: a folder of the user's own below
    // the temporary folder holds the root instead.
    const std::string own = privateFolderBelow(base, ::getuid());
    if (!own.empty() && claimPrivateFolder(own + "Qvo", ::getuid()))
        return own + "Qvo/";
    return {};
}

base::UniqueFd openPrivateFolder(const std::string &path)
{
    base::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return fd;
}

std::string userRuntimeFolder()
{
    const std::string xdg = environmentValue("XDG_RUNTIME_DIR");
    if (!xdg.empty() && xdg.front() == '/' && openPrivateFolder(xdg))
        return withTrailingSlash(xdg);
    return privateFolderBelow("/tmp", ::getuid());
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
