// What -ka tells about each key in a key file: added, updated, unchanged or skipped, and why.
#pragma once

#include "common.h"

#include <string>

namespace zpgp {

// Reports an import gpg carried out; the exit code: 0 when at least one key or signature was
// added, otherwise non-zero. oldKeysAdded: the file's PGP 2.x keys went to the legacy ring, so
// GnuPG 2 passing them over is no loss to report.
int ReportImport(const Context &cx, const GpgResult &r, const std::string &file,
                 bool oldKeysAdded = false);

} // namespace zpgp
