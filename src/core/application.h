// Start-up, mode switch and the orderly end of the program.
#pragma once
#include <cstdint>

namespace qvo::core {

// Creates the globals, loads the settings, loads both main windows (when the
// window code registered them) and shows the one `mode` names: the
// multiple-file window for any non-zero mode, else the single-file window.
void Main();

void createGlobalObjects();
void releaseGlobalObjects();

// 0 shows the single-file window, 1 the multiple-file window; any other
// value changes no window.  The mode is stored in the settings in every case.
void changeMode(int32_t mode);

// Saves the settings, releases the globals and ends the process at once with
// status 0: no further window event runs.
[[noreturn]] void terminateApplication();

} // namespace qvo::core
