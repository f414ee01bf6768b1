// The command functions of the six archiver libraries fed fuzzed command
// lines.  Lines are run for real inside a scratch folder; a line naming a
// path that could lead out of it (absolute, "..") is only tokenized, since
// the libraries are meant to follow such paths when the caller gives them.
#pragma once
#include "archivers/command/command_line.h"
#include "archivers/include/qvo_archiver.h"
#include "scratch.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace qvo::fuzz {

using CommandFunction = QvoCommandFunction *;

// The command functions of the libraries, in the order of
// QVO_ARCHIVER_LIBRARIES.
struct ArchiverCommands {
    CommandFunction fn[6] = {};
};

// A path token that stays below the current folder.
inline bool isContainedPath(const std::string &s)
{
    if (s.empty())
        return true;
    if (s[0] == '/' || s[0] == '\\' || s.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = s.size();
        if (s.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

// Fills the scratch folder with a few small files and folders and a
// sample archive per format for the commands to read.
inline void populate(const fs::path &root, const fs::path &seedArchives)
{
    fs::create_directories(root / "src" / "sub");
    fs::create_directories(root / "out");
    std::ofstream(root / "src" / "a.txt") << "alpha alpha alpha alpha";
    std::ofstream(root / "src" / "sub" / "b.bin") << std::string(3000, 'b');
    std::ofstream(root / "a.txt") << "top";
    std::error_code ec;
    if (!seedArchives.empty())
        for (auto &e : fs::directory_iterator(seedArchives, ec))
            fs::copy_file(e.path(), root / e.path().filename(), ec);
}

// Byte 0 picks the library; the rest is the command line.
inline int32_t fuzzCommandLine(const Scratch &scratch, const ArchiverCommands &libs,
                               const fs::path &seedArchives, const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    CommandFunction fn = libs.fn[data[0] % 6];
    std::string line(reinterpret_cast<const char *>(data + 1), size - 1);
    line = line.substr(0, line.find('\0'));

    std::vector<archivers::command::Token> tokens;
    if (!archivers::command::tokenizeCommandLine(line, tokens) || !fn)
        return 0;
    for (const auto &t : tokens)
        if (!archivers::command::isSwitch(t) && !isContainedPath(t.text))
            return 0;

    scratch.clear();
    populate(scratch.root(), seedArchives);
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        fail("getcwd");
    if (chdir(scratch.root().c_str()) != 0)
        fail("chdir to scratch");
    char output[16];
    std::memset(output, 'x', sizeof output);
    int32_t rc = fn(nullptr, line.c_str(), output, data[0] & 0x80 ? 0 : sizeof output);
    char after[4096];
    if (!getcwd(after, sizeof after) || std::strcmp(after, scratch.root().c_str()) != 0)
        fail("command changed the current folder");
    if (chdir(cwd) != 0)
        fail("chdir back");
    if ((data[0] & 0x80) == 0 && output[0] != '\0')
        fail("output buffer not terminated");
    // Everything a command makes stays in the scratch folder; links made by
    // an extraction stay inside it too.
    std::set<std::string> top;
    std::error_code ec;
    for (auto &e : fs::directory_iterator(scratch.root(), ec))
        top.insert(e.path().filename().string());
    checkTree(scratch.root(), top, scratch.root());
    return rc;
}

} // namespace qvo::fuzz
