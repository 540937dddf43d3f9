// The commands of zorvex-pgp, one entry each; main() picks one from the parsed options. Each
// returns the exit code or ends the run with Fail().
//
//   crypt.cpp        -e -s -c -b and their mixes
//   decrypt.cpp      decrypting and checking signatures
//   files.cpp        -w FILE (with the file helpers every command uses)
//   keycommands.cpp  every -k command
//   legacy.cpp       PGP 2.x keys (the legacy ring), handed to GnuPG 1.4 from the commands above
//   legacycrypt.cpp  PGP 2.x messages, the same way
#pragma once

#include "common.h"

namespace zpgp {

int DoCrypt(Context &cx);
int DoDecrypt(Context &cx);
int DoWipeOnly(Context &cx);

int DoKeyView(Context &cx);
int DoKeyExtract(Context &cx);
int DoKeyAdd(Context &cx);
int DoKeyRemove(Context &cx);
int DoKeyDisable(Context &cx);
int DoKeyGenerate(Context &cx);
int DoKeyRemoveSigs(Context &cx);
int DoKeyEdit(Context &cx);
int DoKeySign(Context &cx);

} // namespace zpgp
