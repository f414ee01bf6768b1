// Archives and folders handed to the program from outside (its command
// line, a later start), put where the visible main window takes them.
#pragma once
#include <QObject>
#include <QTimer>

#include <string>
#include <vector>

namespace qvo::ui {

class QtMainWindows;

// The multiple-file window adds files as its open-file dialog does and
// folders as its folder scan does.  The single-file window takes one file
// into its source box; more paths, or a folder, switch to the multiple-file
// window first.  The window that took them comes to the front.
void openPaths(QtMainWindows &windows, const std::vector<std::string> &paths);

// Holds paths back while a modal window is up: a conversion reads the list
// and the single-file settings while its progress window is shown, and a
// dialog owns the window's input until it closes.
class OpenRequests : public QObject {
public:
    explicit OpenRequests(QtMainWindows &windows);

    void open(const std::vector<std::string> &paths);
    // Opens what waits, unless a modal window is still up.
    void openWaiting();

private:
    QtMainWindows &windows_;
    std::vector<std::vector<std::string>> waiting_;
    QTimer retry_;
};

} // namespace qvo::ui
