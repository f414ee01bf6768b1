// Shared set-up of the run tests: a private working root, a scratch tree,
// settings for a multiple-file run and a list of rows.
#pragma once
#include "convert/conversion_engine.h"
#include "fake_backend.h"
#include "test_support.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qvo::test {

class VectorRows : public convert::ConversionRows {
public:
    struct Row {
        std::string file, folder, status = convert::kStatusWaiting;
    };
    void add(const std::filesystem::path &path)
    {
        rows_.push_back({path.filename().string(), path.parent_path().string() + "/"});
    }
    int rowCount() const override { return int(rows_.size()); }
    std::string fileName(int row) const override { return rows_[size_t(row)].file; }
    std::string folderName(int row) const override { return rows_[size_t(row)].folder; }
    std::string status(int row) const override
    {
        std::lock_guard<std::mutex> guard(lock_);
        return rows_[size_t(row)].status;
    }
    void setStatus(int row, const std::string &status) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        rows_[size_t(row)].status = status;
    }

private:
    mutable std::mutex lock_;
    std::vector<Row> rows_;
};

class RunTest : public ::testing::Test {
protected:
    RunTest() : tmpEnv_("TMPDIR", (dir_ / "tmp").string())
    {
        std::filesystem::create_directories(dir_ / "tmp");
        settings.mode = 1;
        settings.convType = 1; // ZIP
        settings.saveFolder = (dir_ / "out").string();
    }

    std::filesystem::path path(const std::string &rel) const { return dir_ / rel; }
    std::filesystem::path workingRoot() const { return dir_ / "tmp" / "Qvo"; }

    // A fake source archive with two files and a folder.
    std::filesystem::path source(const std::string &rel, const std::string &content = "hello")
    {
        const auto p = path(rel);
        writeFile(p, fakeArchive({{"a.txt", content}, {"sub/", ""}, {"sub/b.bin", std::string(3000, 'x')}}));
        rows.add(p);
        return p;
    }

    std::vector<convert::RowReport> run()
    {
        convert::ConversionEngine engine(settings, fakes.controller, &rows, [this] { ++yields; });
        std::vector<convert::RowReport> reports;
        engine.setRowFinishedHook([&](const convert::RowReport &r) { reports.push_back(r); });
        engine.run();
        EXPECT_TRUE(engine.counters().finished);
        EXPECT_EQ(engine.counters().doneCount, engine.counters().totalCount);
        return reports;
    }

    TempDir dir_;
    ScopedEnv tmpEnv_;

public:
    settings::clsQvoSettings settings{"/dev/null/qvo3.ini"};
    FakeArchiveLayer fakes;
    VectorRows rows;
    int yields = 0;
};

} // namespace qvo::test
