// One QApplication for the window tests, on the offscreen platform unless
// the caller chose another (the screenshot script runs them under Xvfb).
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "qvo_test";
    char *argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

const auto *environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
