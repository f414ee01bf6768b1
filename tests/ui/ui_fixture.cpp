#include "ui_fixture.h"

#include "core/application.h"

#include <cstdlib>

namespace qvo::test {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        // QVO_TEST_PLATFORM: the copies the density test starts on Xvfb.
        const char *platform = std::getenv("QVO_TEST_PLATFORM");
        ::setenv("QT_QPA_PLATFORM", platform && *platform ? platform : "offscreen", 1);
        static int argc = 1;
        static char name[] = "test_ui";
        static char *argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        app_->setQuitOnLastWindowClosed(false);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication *app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment *const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

void UiTest::SetUp()
{
    ui::PromptHandlers handlers;
    handlers.message = [this](const std::string &text, ui::MessageButtons buttons) {
        prompts.messages.push_back({text, buttons});
        if (prompts.answers.empty())
            return true;
        const bool answer = prompts.answers.front();
        prompts.answers.pop_front();
        return answer;
    };
    handlers.openFile = [this](const std::string &filter) {
        prompts.filters.push_back(filter);
        if (prompts.openNames.empty())
            return std::string();
        std::string name = prompts.openNames.front();
        prompts.openNames.pop_front();
        return name;
    };
    handlers.saveFile = [this](const std::string &filter) {
        prompts.filters.push_back(filter);
        if (prompts.saveNames.empty())
            return std::string();
        std::string name = prompts.saveNames.front();
        prompts.saveNames.pop_front();
        return name;
    };
    ui::setPromptHandlers(std::move(handlers));
    makeGlobals();
}

void UiTest::TearDown()
{
    core::setMainWindowHooks(nullptr);
    ui::setPromptHandlers({});
    core::releaseGlobalObjects();
}

void UiTest::makeGlobals(bool zipValid)
{
    using backends::SUPPORT_COMPRESS;
    using backends::SUPPORT_EXTRACT;
    core::appSettings = std::make_unique<settings::clsQvoSettings>(iniPath());
    core::archiveCtrl = std::make_unique<backends::clsArchiveCtrl>();
    using identify::ArchiveKind;
    core::archiveCtrl->addArchive(
        std::make_shared<StubBackEnd>(SUPPORT_COMPRESS | SUPPORT_EXTRACT, "lzh", "LHA", true, ArchiveKind::Lha));
    core::archiveCtrl->addArchive(
        std::make_shared<StubBackEnd>(SUPPORT_COMPRESS | SUPPORT_EXTRACT, "zip", "ZIP", zipValid, ArchiveKind::Zip));
    core::archiveCtrl->addArchive(
        std::make_shared<StubBackEnd>(SUPPORT_COMPRESS | SUPPORT_EXTRACT, "cab", "CAB", true, ArchiveKind::Cab));
    core::archiveCtrl->addArchive(std::make_shared<StubBackEnd>(SUPPORT_EXTRACT, "rar", "RAR", true, ArchiveKind::Rar));
}

std::string UiTest::file(const std::string &relative, size_t size)
{
    const auto path = dir / relative;
    writeFile(path, std::string(size, 'x'));
    return path.string();
}

} // namespace qvo::test
