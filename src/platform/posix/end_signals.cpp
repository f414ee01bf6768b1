#include "platform/end_signals.h"

#include <csignal>
#include <initializer_list>
#include <sys/socket.h>
#include <unistd.h>

namespace qvo::platform {
namespace {

int signalPipe[2] = {-1, -1};

// A handler may do no more than write a byte: the signal's number.
void onEndSignal(int sig)
{
    char byte = char(sig);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[0], &byte, 1);
}

} // namespace

int watchEndRequests()
{
    if (signalPipe[1] >= 0)
        return signalPipe[1];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return -1;
    struct sigaction sa {};
    sa.sa_handler = onEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    return signalPipe[1];
}

int takeEndRequest(int descriptor)
{
    char byte = 0;
    if (::read(descriptor, &byte, 1) != 1)
        return 0;
    return static_cast<unsigned char>(byte);
}

void endAsBySignal(int sig)
{
    if (sig > 0) {
        struct sigaction sa {};
        sa.sa_handler = SIG_DFL;
        sigemptyset(&sa.sa_mask);
        ::sigaction(sig, &sa, nullptr);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, sig);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(sig);
    }
    ::_exit(128 + sig);
}

} // namespace qvo::platform
