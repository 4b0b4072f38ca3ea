// Requests to end the program from outside: SIGTERM (logout, a session manager, kill),
// SIGINT (Ctrl+C) and SIGHUP (the terminal or session gone), where Windows would send the
// session's end to the window. A request only raises a flag and wakes whoever watches for
// it, so that the program ends its own way: a transfer stops through its stop flag, the
// message loop closes the window, the log gets its last line, and the exit status is 0.
//
//   kestrova::installTerminationHandlers();          // first thing in main
//   curl.setStopFlag(&kestrova::terminationRequested());
//   kestrova::ui::watchDescriptor(kestrova::terminationDescriptor(), closeTheWindow);
#pragma once

#include <atomic>
#include <string>

namespace kestrova {

// Catches the three signals from now on; once per process. Before it, they end the
// process at once, as they do by default.
void installTerminationHandlers();

// Raised by the first request; never lowered. Usable as a transfer's stop flag.
const std::atomic<bool>& terminationRequested();

// The number of the signal that asked first, or 0.
int terminationSignal();

// A descriptor that becomes readable at the first request (and stays so), for a loop that
// waits on descriptors; -1 before installation.
int terminationDescriptor();

// "SIGTERM" and the like for the signal that asked; empty when none did.
std::string terminationSignalName();

}  // namespace kestrova
