#pragma once

// The engine names each hidden temporary output it creates in a list file of ours
// (ZORVEX_PGP_TEMPS), so that one it could not remove itself (killed with SIGKILL, say) does not
// stay behind with plaintext in it: after every engine call we remove those still there.

// Creates the owner-only list and names it in our environment, which every engine inherits.
void StartEngineTempList();
// Removes the listed temporary outputs that still exist, then empties the list.
void RemoveEngineTemps();
// Removes the list itself.
void EndEngineTempList();
