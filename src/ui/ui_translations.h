// The language of the windows.
//
// The texts in the sources are the Japanese ones the program always had;
// installTranslations puts the embedded English translation in front of
// them for every other language, and Qt's own Japanese translation (file
// dialogs, message-box buttons) under a Japanese one, so that everything
// on screen speaks one language.  Only what is shown is translated: the
// settings file, the library command lines and the status texts the
// conversion run writes and compares stay as they are.
#pragma once
#include "platform/ui_language.h"

#include <QString>

namespace qvo::ui {

// Installs the translators for `language` on the running application,
// replacing any installed before.  False when a translation it needs could
// not be loaded (the texts then stay as they are).
bool installTranslations(platform::UiLanguage language);
void removeTranslations();

// A status text of the conversion run ("変換成功", ...) as the list shows it.
QString statusText(const std::string &status);

} // namespace qvo::ui
