// qvo: the desktop program.
//
// SIGTERM, SIGINT and SIGHUP close the windows the way the close box does,
// so the settings are saved on logout or `kill` as on any other end.
// QVO_INI_FILE names the settings file to use instead of the usual one.
#include "core/mdlMain.h"
#include "ui/main_windows_qt.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

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

    qvo::ui::installMainWindows();
    qvo::core::Main();
    app.exec();
    qvo::core::terminateApplication();
}
