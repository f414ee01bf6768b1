// The requests to end the program that arrive from outside it (on POSIX
// the signals SIGTERM, SIGINT and SIGHUP: logout, kill, Ctrl+C), turned into
// something an event loop can wait on.
#pragma once

namespace qvo::platform {

// Catches the end requests from now on.  Returns a descriptor that becomes
// readable when one arrives, or -1 when they cannot be caught.
int watchEndRequests();

// Takes one notice from the descriptor watchEndRequests returned.
void takeEndRequest(int descriptor);

} // namespace qvo::platform
