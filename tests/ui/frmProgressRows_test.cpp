// Row status changes made on the engine's thread reach the real rows only
// on the window thread, and all of them arrive by the end of the run.
#include "ui/frmProgressRows.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <thread>
#include <vector>

using qvo::convert::ConversionRows;
using qvo::ui::RowsHandedToWindowThread;

namespace {

// The list as the window holds it; notes the thread of every change.
class WindowRows : public ConversionRows {
public:
    int rowCount() const override { return int(status_.size()); }
    std::string fileName(int row) const override { return "file" + std::to_string(row) + ".lzh"; }
    std::string folderName(int) const override { return "/data/"; }
    std::string status(int row) const override { return status_.at(size_t(row)); }
    void setStatus(int row, const std::string &status) override
    {
        status_.at(size_t(row)) = status;
        threads.push_back(std::this_thread::get_id());
    }

    std::vector<std::string> status_ = {"変換待ち", "変換待ち", "変換待ち"};
    std::vector<std::thread::id> threads;
};

} // namespace

TEST(ProgressRows, ChangesFromTheWorkerArriveOnTheWindowThread)
{
    WindowRows window;
    RowsHandedToWindowThread rows(window);
    ASSERT_EQ(rows.rowCount(), 3);
    EXPECT_EQ(rows.fileName(1), "file1.lzh");
    EXPECT_EQ(rows.folderName(2), "/data/");
    EXPECT_EQ(rows.fileName(3), "");

    std::thread worker([&] {
        rows.setStatus(0, "変換失敗");
        rows.setStatus(0, "変換成功");
        rows.setStatus(2, "同名ファイルが存在");
        rows.setStatus(7, "変換成功"); // no such row: ignored
        EXPECT_EQ(rows.status(0), "変換成功");
    });
    worker.join();
    EXPECT_EQ(window.status_[0], "変換待ち") << "nothing touched from the worker";
    EXPECT_TRUE(window.threads.empty());

    QApplication::processEvents();
    EXPECT_EQ(window.status_, (std::vector<std::string>{"変換成功", "変換待ち", "同名ファイルが存在"}));
    for (auto id : window.threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(ProgressRows, SettleDeliversTheEndStateWithoutTheEventLoop)
{
    WindowRows window;
    {
        RowsHandedToWindowThread rows(window);
        std::thread([&] {
            rows.setStatus(1, "変換失敗");
            rows.setStatus(1, "変換成功");
        }).join();
        rows.settle();
        EXPECT_EQ(window.status_[1], "変換成功");
    }
    // Changes still queued when the copy is gone are dropped, not applied
    // to a list that may have moved on.
    window.status_[1] = "removed";
    QApplication::processEvents();
    EXPECT_EQ(window.status_[1], "removed");
}
