#pragma once

// Installs, for the whole application, what every dialog and tool window gets when it is first
// shown (see AddMissingMnemonics) and when it closes: the keyboard goes back to the window that
// opened it, so keys do not go astray after a dialog or a message box.
void InstallWindowAids();
