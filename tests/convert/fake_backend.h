// In-process stand-ins for the archive back-ends, for testing the run
// without archiver libraries.
//
// A fake archive is a text header and the tree's entries:
//   QVOFAKE\n  then per entry  "D path\n"  or  "F path size\n" + bytes.
// compress writes it under a temporary name and renames it over the target,
// as the real libraries do.
#pragma once
#include "backends/archive_backend.h"
#include "backends/archive_ctrl.h"
#include "backends/archive_errors.h"
#include "test_support.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>
#include <zlib.h>

namespace qvo::test {

// A fake archive holding these files ("dir/" keys are folders).
inline std::string fakeArchive(const std::map<std::string, std::string> &entries)
{
    std::string out = "QVOFAKE\n";
    for (const auto &[name, data] : entries) {
        if (!name.empty() && name.back() == '/')
            out += "D " + name.substr(0, name.size() - 1) + "\n";
        else
            out += "F " + name + " " + std::to_string(data.size()) + "\n" + data;
    }
    return out;
}

// Reads a fake archive back into name -> contents ("dir/" for folders);
// nothing when it is not one.
inline std::optional<std::map<std::string, std::string>> readFakeArchive(const std::filesystem::path &file)
{
    std::istringstream in(readFile(file));
    std::string line;
    if (!std::getline(in, line) || line != "QVOFAKE")
        return std::nullopt;
    std::map<std::string, std::string> out;
    while (std::getline(in, line)) {
        if (line.size() < 3)
            return std::nullopt;
        if (line[0] == 'D') {
            out[line.substr(2) + "/"] = "";
            continue;
        }
        const size_t space = line.rfind(' ');
        if (line[0] != 'F' || space < 2)
            return std::nullopt;
        const size_t size = std::stoul(line.substr(space + 1));
        std::string data(size, '\0');
        if (!in.read(data.data(), std::streamsize(size)))
            return std::nullopt;
        out[line.substr(2, space - 2)] = data;
    }
    return out;
}

// The member list a library writes for QVO_SWITCH_MEMBER_LIST, of a fake
// archive's entries.
inline std::string fakeMemberList(const std::map<std::string, std::string> &entries)
{
    std::string out;
    for (const auto &[name, data] : entries) {
        const bool folder = name.back() == '/';
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x",
                      folder ? 0u
                             : static_cast<unsigned>(crc32(0, reinterpret_cast<const Bytef *>(data.data()),
                                                           static_cast<uInt>(data.size()))));
        for (const std::string &field : {std::string(folder ? "D" : "F"), std::to_string(folder ? 0 : data.size()),
                                         std::string(crc), folder ? name.substr(0, name.size() - 1) : name,
                                         std::string()})
            out += field + '\0';
    }
    return out;
}

struct FakeBackEndState {
    std::mutex lock;
    std::vector<backends::clsArchiveActionOption> extracts, compresses;
    std::optional<int32_t> extractResult, compressResult; // returned without doing anything
    bool throwOnExtract = false, throwOnCompress = false;
    bool dropOneFileOnCompress = false; // a faulty writer
    bool dropOneFileOnExtract = false;  // a faulty extraction that still lists every member
    std::function<void(const backends::clsArchiveActionOption &)> onExtract, onCompress;
};

class FakeBackEnd : public backends::clsArchiveBackEndBase {
public:
    FakeBackEnd(const std::string &name, const std::string &extension, int32_t supportMode, bool valid = true)
        : clsArchiveBackEndBase(supportMode, extension, name)
    {
        properties_->setValid(valid);
    }
    FakeBackEndState state;

    int32_t getLibVersion() override { return 1; }
    std::string getLibVersionString() override { return "fake"; }

    int32_t extract(backends::clsArchiveActionOption &option) override
    {
        {
            std::lock_guard<std::mutex> guard(state.lock);
            state.extracts.push_back(option);
        }
        if (state.onExtract)
            state.onExtract(option);
        if (state.throwOnExtract)
            throw backends::ArchiverUnavailable(backends::ArchiverUnavailable::Reason::NotFound, "fake.so",
                                               "not installed");
        if (state.extractResult)
            return *state.extractResult;
        auto entries = readFakeArchive(option.beforeFileName());
        if (!entries)
            return 0x8003;
        if (!option.memberListFile().empty())
            writeFile(option.memberListFile(), fakeMemberList(*entries));
        bool dropped = !state.dropOneFileOnExtract;
        for (const auto &[name, data] : *entries) {
            if (!dropped && name.back() != '/') {
                dropped = true;
                continue;
            }
            const std::filesystem::path out = std::filesystem::path(option.targetPathName()) / name;
            if (name.back() == '/')
                std::filesystem::create_directories(out);
            else
                writeFile(out, data);
        }
        return 0;
    }

    int32_t compress(backends::clsArchiveActionOption &option) override
    {
        {
            std::lock_guard<std::mutex> guard(state.lock);
            state.compresses.push_back(option);
        }
        if (state.onCompress)
            state.onCompress(option);
        if (state.throwOnCompress)
            throw backends::ArchiverUnavailable(backends::ArchiverUnavailable::Reason::NotFound, "fake.so",
                                               "not installed");
        if (state.compressResult)
            return *state.compressResult;
        if (!(properties_->getSupportMode() & backends::SUPPORT_COMPRESS))
            return backends::kRequestRefused;
        std::map<std::string, std::string> entries;
        const std::filesystem::path root(option.targetPathName());
        std::error_code ec;
        if (!std::filesystem::is_directory(root))
            return 0x800C;
        for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            const std::string rel = it->path().lexically_relative(root).generic_string();
            if (it->is_directory())
                entries[rel + "/"] = "";
            else
                entries[rel] = readFile(it->path());
        }
        if (ec)
            return 0x800C;
        if (state.dropOneFileOnCompress) {
            for (auto it = entries.begin(); it != entries.end(); ++it)
                if (it->first.back() != '/') {
                    entries.erase(it);
                    break;
                }
        }
        const std::filesystem::path target(option.afterFileName());
        const std::filesystem::path temp = target.string() + ".fake-tmp";
        {
            std::ofstream out(temp, std::ios::binary);
            if (!out)
                return 0x8008;
            out << fakeArchive(entries);
        }
        std::filesystem::rename(temp, target, ec);
        return ec ? 0x8008 : 0;
    }
};

// A controller with fake LHA, ZIP, CAB (source and target) and RAR (source)
// back-ends, registered in the usual order.
struct FakeArchiveLayer {
    std::shared_ptr<FakeBackEnd> lha = std::make_shared<FakeBackEnd>("LHA", "lzh", 3);
    std::shared_ptr<FakeBackEnd> zip = std::make_shared<FakeBackEnd>("ZIP", "zip", 3);
    std::shared_ptr<FakeBackEnd> cab = std::make_shared<FakeBackEnd>("CAB", "cab", 3);
    std::shared_ptr<FakeBackEnd> rar = std::make_shared<FakeBackEnd>("RAR", "rar", 2);
    backends::clsArchiveCtrl controller;

    FakeArchiveLayer()
    {
        controller.addArchive(lha);
        controller.addArchive(zip);
        controller.addArchive(cab);
        controller.addArchive(rar);
    }
};

} // namespace qvo::test
