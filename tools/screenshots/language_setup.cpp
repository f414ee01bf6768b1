// The pictures speak the language the environment names, as the program
// does: the translators are installed before the first picture is taken
// (the application exists by then).
#include "platform/ui_language.h"
#include "ui/ui_translations.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

namespace {

class InstallTranslations : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override
    {
        if (installed_ || !QCoreApplication::instance())
            return;
        installed_ = true;
        qvo::ui::installTranslations(qvo::platform::uiLanguage());
    }
    bool installed_ = false;
};

[[maybe_unused]] const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new InstallTranslations);
    return true;
}();

} // namespace
