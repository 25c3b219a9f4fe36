#pragma once
// Program start and the settings hand-over.
#include <string>

namespace start {

inline constexpr const char* AlreadyRunningText =
    "Cannot execute Ravlen ADJ Rev.1.0 repeatedly.\r\nRavlen ADJ Rev.1.0 is already executing.";

// Creates the global objects, loads the settings, starts the tick and shows the
// window. False when another copy already runs (after telling the user).
// A non-empty device stands for the profile's chosen COM port during this run,
// whatever the profile maps to it.
bool Main(const std::string& device = {});
void SaveSettings();
void LoadSettings();

// Shows MsgBoxApp texts in a modal critical window box.
void InstallWindowMessageBox();
// Lets go of the single-copy lock (for tests that start again).
void ReleaseInstanceLock();

}  // namespace start
