// The requests to end the program that arrive from outside it (on POSIX
// the signals SIGTERM, SIGINT and SIGHUP: logout, kill, Ctrl+C), turned into
// something an event loop can wait on.
#pragma once

namespace qvo::platform {

// Catches the end requests from now on.  Returns a descriptor that becomes
// readable when one arrives, or -1 when they cannot be caught.
int watchEndRequests();

// Takes one notice from the descriptor watchEndRequests returned: the
// signal that asked (0 when it cannot be told).
int takeEndRequest(int descriptor);

// Ends the program the way `signal` ends it when nothing catches it, so
// that a caller (a shell) sees the same as without the catching.
[[noreturn]] void endAsBySignal(int signal);

} // namespace qvo::platform
