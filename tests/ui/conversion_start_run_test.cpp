// startConversion with the real engine and archiver libraries: the space
// check's message, the missing source, and runs in the progress window.
#include "ui/conversion_start.h"

#include "ui/frmProgress.h"
#include "core/mdlMain.h"
#include "test_support.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <vector>

using qvo::core::appSettings;
using qvo::test::runCommand;
using qvo::test::TempDir;

namespace {

const std::string corpus = QVO_CORPUS_DIR;

class ListRows : public qvo::convert::ConversionRows {
public:
    struct Row {
        std::string file, folder, status = "変換待ち";
    };
    int rowCount() const override { return int(rows.size()); }
    std::string fileName(int r) const override { return rows.at(size_t(r)).file; }
    std::string folderName(int r) const override { return rows.at(size_t(r)).folder; }
    std::string status(int r) const override { return rows.at(size_t(r)).status; }
    void setStatus(int r, const std::string &s) override { rows.at(size_t(r)).status = s; }
    std::vector<Row> rows;
};

// Looks at the modal windows that come up while it exists: notes the
// progress window, and notes and closes message boxes.
class ModalWatcher {
public:
    ModalWatcher()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget *w = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                message = true;
                title = box->windowTitle().toStdString();
                text = box->text().toStdString();
                icon = box->icon();
                box->accept();
            } else if (qobject_cast<qvo::ui::frmProgress *>(w)) {
                progress = true;
            }
        });
        timer_.start();
    }

    bool progress = false;
    bool message = false;
    std::string title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;

private:
    QTimer timer_;
};

class StartConversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TMPDIR", (dir / "tmp").c_str(), 1);
        std::filesystem::create_directories(dir / "tmp");
        qvo::core::createGlobalObjects();
        appSettings = std::make_unique<qvo::settings::clsQvoSettings>((dir / "qvo3.ini").string());
        appSettings->dialogAutoClose = true;
    }
    void TearDown() override
    {
        qvo::core::releaseGlobalObjects();
        unsetenv("TMPDIR");
    }
    TempDir dir;
};

} // namespace

TEST_F(StartConversion, TooLittleWorkingSpaceShowsTheMessageAndRunsNothing)
{
    appSettings->mode = 1;
    ListRows rows;
    rows.rows.push_back({"a.lzh", corpus + "/lzh/lhasa/explzh_723/", "変換待ち"});
    ModalWatcher seen;
    EXPECT_FALSE(qvo::ui::startConversion(&rows, [] { return int64_t(1) << 50; }));
    EXPECT_TRUE(seen.message);
    EXPECT_FALSE(seen.progress);
    EXPECT_EQ(seen.title, "Qvo");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_NE(seen.text.find(" の空き容量が不足しています。変換を行うことができません\r\nあと "), std::string::npos)
        << seen.text;
    EXPECT_EQ(rows.rows[0].status, "変換待ち");
}

TEST_F(StartConversion, MissingSingleFileSourceIsReportedWithoutARun)
{
    appSettings->mode = 0;
    appSettings->singleBeforeFileName = (dir / "gone.lzh").string();
    ModalWatcher seen;
    EXPECT_FALSE(qvo::ui::startConversion(nullptr, {}));
    EXPECT_TRUE(seen.message);
    EXPECT_EQ(seen.text, qvo::convert::kSourceMissingMessage);
}

TEST_F(StartConversion, MultipleFileRunConvertsInTheWindowAndUpdatesTheRows)
{
    std::filesystem::create_directories(dir / "in");
    for (const char *name : {"h1_lh5.lzh", "h2_subdir.lzh"})
        std::filesystem::copy_file(corpus + "/lzh/lhasa/explzh_723/" + name, dir / "in" / name);
    appSettings->mode = 1;
    appSettings->convType = 1; // ZIP
    appSettings->saveFolder = (dir / "out").string();
    ListRows rows;
    for (const char *name : {"h1_lh5.lzh", "h2_subdir.lzh", "missing.lzh"})
        rows.rows.push_back({name, (dir / "in").string() + "/", "変換待ち"});
    ModalWatcher seen;
    EXPECT_TRUE(qvo::ui::startConversion(&rows, [] { return int64_t(10); }));
    EXPECT_TRUE(seen.progress);
    EXPECT_EQ(rows.rows[0].status, "変換成功");
    EXPECT_EQ(rows.rows[1].status, "変換成功");
    EXPECT_EQ(rows.rows[2].status, "変換待ち");
    std::string listing;
    ASSERT_EQ(runCommand("unzip -l '" + (dir / "out" / "h2_subdir.zip").string() + "'", &listing), 0);
    EXPECT_NE(listing.find("subdir/subdir2/hello.txt"), std::string::npos) << listing;
}

TEST_F(StartConversion, FailedSingleFileRunIsShownInJapanese)
{
    const auto source = dir / "broken.lzh";
    qvo::test::writeFile(source, std::string(4096, '\x5a'));
    appSettings->mode = 0;
    appSettings->singleBeforeFileName = source.string();
    appSettings->singleConvType = 1;
    appSettings->singleConvToFileName = (dir / "broken.zip").string();
    ModalWatcher seen;
    EXPECT_TRUE(qvo::ui::startConversion(nullptr, {}));
    EXPECT_TRUE(seen.progress);
    EXPECT_TRUE(seen.message);
    EXPECT_EQ(seen.title, "Qvo");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_TRUE(seen.text == qvo::ui::singleFileFailureMessage(qvo::convert::SingleFileOutcome::ExtractFailed) ||
                seen.text == qvo::ui::singleFileFailureMessage(qvo::convert::SingleFileOutcome::Failed))
        << seen.text;
}
