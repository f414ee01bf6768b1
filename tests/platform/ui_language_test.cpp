#include "platform/ui_language.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using qvo::platform::UiLanguage;

UiLanguage languageOf(const std::map<std::string, std::string> &env)
{
    return qvo::platform::uiLanguage([&](const char *name) -> const char * {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    });
}

TEST(UiLanguage, FirstSetVariableDecides)
{
    EXPECT_EQ(languageOf({}), UiLanguage::English);
    EXPECT_EQ(languageOf({{"LANG", "ja_JP.UTF-8"}}), UiLanguage::Japanese);
    EXPECT_EQ(languageOf({{"LANG", "ja"}}), UiLanguage::Japanese);
    EXPECT_EQ(languageOf({{"LANG", "ja_JP@cjknarrow"}}), UiLanguage::Japanese);
    EXPECT_EQ(languageOf({{"LANG", "en_US.UTF-8"}}), UiLanguage::English);
    EXPECT_EQ(languageOf({{"LANG", "C.UTF-8"}}), UiLanguage::English);
    // "jam" or "jv" are other languages.
    EXPECT_EQ(languageOf({{"LANG", "jam_JM"}}), UiLanguage::English);
    // LC_ALL over LC_MESSAGES over LANG; LANGUAGE over all of them.
    EXPECT_EQ(languageOf({{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "de_DE.UTF-8"}}), UiLanguage::English);
    EXPECT_EQ(languageOf({{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}), UiLanguage::Japanese);
    EXPECT_EQ(languageOf({{"LC_ALL", "ja_JP.UTF-8"}, {"LANGUAGE", "en:ja"}}), UiLanguage::English);
    EXPECT_EQ(languageOf({{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja:en"}}), UiLanguage::Japanese);
    // Empty values count as unset.
    EXPECT_EQ(languageOf({{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LANG", "ja_JP.UTF-8"}}), UiLanguage::Japanese);
    EXPECT_EQ(languageOf({{"LANGUAGE", ":ja"}, {"LANG", "en_US"}}), UiLanguage::English);
}

} // namespace
