// A library folder filled with fake archivers, and the record of what they
// were asked.
#pragma once
#include "test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace qvo::test {

#define QVO_FAKE_FILE_NAME(id, file, version, command) file ".so",
inline const char *kAllArchivers[] = {QVO_ARCHIVER_LIBRARIES(QVO_FAKE_FILE_NAME)};
#undef QVO_FAKE_FILE_NAME

struct FakeCall {
    std::string library; // "unlha32", ...
    std::string kind;    // "version" or "command"
    std::string cmdLine;
    std::string cwd;
    std::string args;
};

// A temporary library folder that QVO_LIBRARY_DIR points to, and a log that
// the fakes append to, both for the life of the object.
class FakeArchivers {
public:
    FakeArchivers()
        : libraryEnv_("QVO_LIBRARY_DIR", (dir_ / "lib").string()),
          logEnv_("QVO_FAKE_LOG", (dir_ / "calls.log").string()),
          resultEnv_("QVO_FAKE_RESULT", "0")
    {
        std::filesystem::create_directories(dir_ / "lib");
        ::unsetenv("QVO_FAKE_VERSION");
    }
    ~FakeArchivers() { ::unsetenv("QVO_FAKE_VERSION"); }

    // Puts a fake in the folder; variant "complete", "no-command" or
    // "no-version".
    FakeArchivers &add(const std::string &file, const std::string &variant = "complete")
    {
        // A link, not a copy: the loader knows a library by its inode, and a
        // copy in a fresh folder could reuse the inode of another variant's
        // deleted copy and be mistaken for it.
        const std::filesystem::path link = dir_ / "lib" / file;
        std::filesystem::remove(link);
        std::filesystem::create_symlink(std::filesystem::path(QVO_FAKE_ARCHIVER_DIR) / variant / file,
                                        link);
        return *this;
    }
    FakeArchivers &addAll()
    {
        for (const char *file : kAllArchivers)
            add(file);
        return *this;
    }
    // A file of that name that is no loadable library.
    FakeArchivers &addBroken(const std::string &file)
    {
        writeFile(dir_ / "lib" / file, "not a shared object\n");
        return *this;
    }

    std::filesystem::path libraryFolder() const { return dir_ / "lib"; }
    std::filesystem::path scratch() const { return dir_.path(); }

    std::vector<FakeCall> calls(const std::string &kind = "command") const
    {
        std::vector<FakeCall> out;
        std::istringstream in(readFile(dir_ / "calls.log"));
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::istringstream fields(line);
            std::string field;
            while (std::getline(fields, field, '\t'))
                f.push_back(field);
            f.resize(5);
            if (f[1] == kind)
                out.push_back({f[0], f[1], f[2], f[3], f[4]});
        }
        return out;
    }
    void clearCalls() const { std::filesystem::remove(dir_ / "calls.log"); }

private:
    TempDir dir_;
    ScopedEnv libraryEnv_;
    ScopedEnv logEnv_;
    ScopedEnv resultEnv_;
};

} // namespace qvo::test
