// Every message box and file-name dialog of the main windows goes through
// here, so tests can answer them without a person at the screen.
#pragma once
#include "backends/archive_backend.h"

#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace qvo::ui {

enum class MessageButtons { Ok, OkCancel };

// A message as shown: the fixed messages (marked for lupdate in the context
// "Messages") in the interface's language; any other text as it is.
QString translatedMessage(const std::string &text);

// Shows `text`, translated, with the program's title and no icon.  True
// when the user chose OK.  The test seam sees the translated text.
bool showMessage(QWidget *parent, const std::string &text, MessageButtons buttons = MessageButtons::Ok);

// Open and save dialogs offering `filter` (the controller's, worded by
// qtFileFilter).  The result is the chosen path, or "" when cancelled.
// The save dialog asks the platform's own question before an existing
// file is overwritten.
std::string askOpenFileName(QWidget *parent, const backends::DialogFilter &filter);
std::string askSaveFileName(QWidget *parent, const backends::DialogFilter &filter);

// Paths travel as the file system's bytes; Qt text is converted with the
// locale's file-name encoding.
std::string localPath(const QString &path);
QString displayPath(const std::string &path);

// The controller's filter as a dialog shows it, in the interface's
// language: Qt's ";;"-separated entries, each a text with its patterns
// after it in parentheses, separated by blanks ("LHA archives (*.lzh
// *.lha)").  The entry of every pattern together comes only when there are
// patterns; all files come last.
QString qtFileFilter(const backends::DialogFilter &filter);

// Test seams: while set, these answer instead of the real dialogs, and see
// the filter as the dialog would show it.
struct PromptHandlers {
    std::function<bool(const std::string &text, MessageButtons)> message;
    std::function<std::string(const std::string &filter)> openFile;
    std::function<std::string(const std::string &filter)> saveFile;
};
void setPromptHandlers(PromptHandlers handlers);

} // namespace qvo::ui
