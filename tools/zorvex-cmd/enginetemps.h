#pragma once

// The engine names each hidden temporary output it creates in a list file of ours
// (ZORVEX_PGP_TEMPS), so that one it could not remove itself (killed with SIGKILL, say) does not
// stay behind with plaintext in it: after every engine call we remove those still there.

// Creates the owner-only list and names it in our environment, which every engine inherits.
// It lies in $XDG_RUNTIME_DIR (else $TMPDIR, else /tmp) as zorvex-cmd-temps-XXXXXX, under a
// shared lock for as long as we run, so that the program can clean up after a killed run.
void StartEngineTempList();
// Removes the listed temporary outputs that still exist, then empties the list.
void RemoveEngineTemps();
// Removes the list itself.
void EndEngineTempList();
