// What -ka tells about each key in a key file: added, updated, unchanged or skipped, and why.
#pragma once

#include "common.h"

#include <string>

namespace zpgp {

// Reports an import gpg carried out; the exit code: 0 when at least one key or signature was
// added, otherwise non-zero.
int ReportImport(const Context &cx, const GpgResult &r, const std::string &file);

} // namespace zpgp
