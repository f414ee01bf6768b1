#include "platform/end_signals.h"

#include <csignal>
#include <initializer_list>
#include <sys/socket.h>
#include <unistd.h>

namespace qvo::platform {
namespace {

int signalPipe[2] = {-1, -1};

// A handler may do no more than write a byte.
void onEndSignal(int)
{
    char byte = 1;
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

void takeEndRequest(int descriptor)
{
    char byte;
    [[maybe_unused]] ssize_t n = ::read(descriptor, &byte, 1);
}

} // namespace qvo::platform
