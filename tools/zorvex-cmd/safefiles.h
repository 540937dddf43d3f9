#pragma once

#include <string>

// Opening the files a script names, with another local user in mind who can plant links,
// FIFOs or a batch file of their own in a shared directory.

// Opens a "> name" or ">> name" target for writing (owner-only when created, close-on-exec).
// Refuses a symbolic link, anything that is not a regular file (a FIFO is refused without
// waiting for a reader), a file owned by someone else and a file with a second name.
// Returns -1 and sets `error` when refused.
int OpenRedirectTarget(const std::string &name, bool append, std::string &error);

// Opens the batch file to run: a regular file reached without a link, owned by this user and
// writable by no one else. `expectedId` ("DEVICE:INODE", as the program saw the file it wrote;
// empty when not known) must name the same file. Returns -1 and sets `error` when refused.
int OpenBatchFile(const std::string &path, const std::string &expectedId, std::string &error);

// "DEVICE:INODE" of an open file, as OpenBatchFile() expects it.
std::string FileIdOf(int fd);
