// Shared set-up of the window tests: one QApplication on the offscreen
// platform for the whole executable, fresh globals per test with back-ends
// that need no library, and every prompt answered by the test.
#pragma once
#include "test_support.h"

#include "backends/archive_backend.h"
#include "backends/archive_ctrl.h"
#include "core/globals.h"
#include "core/main_windows.h"
#include "ui/prompts.h"

#include <QApplication>

#include <deque>
#include <string>
#include <vector>

namespace qvo::test {

// A format back-end whose validity the test decides; it never runs.
class StubBackEnd : public backends::clsArchiveBackEndBase {
public:
    // Each stands for its format's back-end, content included.
    StubBackEnd(int32_t mode, const std::string &extension, const std::string &name, bool valid,
                identify::ArchiveKind kind = identify::ArchiveKind::None)
        : clsArchiveBackEndBase(mode, extension, name)
    {
        properties_->setValid(valid);
        properties_->setContentKind(kind);
    }
    int32_t getLibVersion() override { return 1; }
    std::string getLibVersionString() override { return {}; }
    int32_t compress(backends::clsArchiveActionOption &) override { return 0; }
    int32_t extract(backends::clsArchiveActionOption &) override { return 0; }
};

struct PromptLog {
    struct Message {
        std::string text;
        ui::MessageButtons buttons;
    };
    std::vector<Message> messages;
    std::deque<bool> answers; // OK (true) or Cancel; OK when empty
    std::deque<std::string> openNames;
    std::deque<std::string> saveNames;
    std::vector<std::string> filters;
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Globals as start-up makes them; `zipValid` false stands for a missing
    // ZIP library.
    void makeGlobals(bool zipValid = true);
    std::string iniPath() const { return (dir / "qvo3.ini").string(); }
    // A file of `size` bytes below the test folder; returns its path.
    std::string file(const std::string &relative, size_t size = 100);

    TempDir dir;
    PromptLog prompts;
};

} // namespace qvo::test
