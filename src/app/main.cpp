// qvo: the desktop program.
//
// SIGTERM, SIGINT and SIGHUP close the windows the way the close box does,
// so the settings are saved on logout or `kill` as on any other end.
// QVO_INI_FILE names the settings file to use instead of the usual one.
#include "core/mdlMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSocketNotifier>
#include <QWidget>

#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using qvo::core::MainWindow;

// Stands in for the two main windows until they exist: a plain window whose
// closing ends the program in order.
class PlaceholderWindow : public QWidget {
public:
    PlaceholderWindow()
    {
        setWindowTitle("Qvo");
        resize(480, 320);
    }

protected:
    void closeEvent(QCloseEvent *) override { qvo::core::terminateApplication(); }
};

class PlaceholderWindows : public qvo::core::MainWindowHooks {
public:
    void load(MainWindow window) override { slot(window) = std::make_unique<PlaceholderWindow>(); }
    void show(MainWindow window) override
    {
        if (auto &w = slot(window))
            w->show();
    }
    void hide(MainWindow window) override
    {
        if (auto &w = slot(window))
            w->hide();
    }

private:
    std::unique_ptr<PlaceholderWindow> &slot(MainWindow window)
    {
        return windows_[window == MainWindow::multipleFile ? 0 : 1];
    }
    std::array<std::unique_ptr<PlaceholderWindow>, 2> windows_;
};

int signalPipe[2] = {-1, -1};

void onEndSignal(int)
{
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[0], &byte, 1);
}

// Routes end signals into the event loop; a handler may do no more than
// write a byte.
void catchEndSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    catchEndSignals();
    QApplication app(argc, argv);
    // The end goes through terminateApplication, never through the last
    // window closing.
    app.setQuitOnLastWindowClosed(false);

    QSocketNotifier *notifier = nullptr;
    if (signalPipe[1] >= 0) {
        notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            char byte;
            [[maybe_unused]] ssize_t n = ::read(signalPipe[1], &byte, 1);
            QApplication::closeAllWindows();
            // No visible window took the close as the end: end here.
            qvo::core::terminateApplication();
        });
    }

    qvo::core::setMainWindowHooks(std::make_unique<PlaceholderWindows>());
    qvo::core::Main();
    app.exec();
    qvo::core::terminateApplication();
}
