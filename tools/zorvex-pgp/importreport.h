// What -ka tells about each key in a key file: added, updated, unchanged or skipped, and why.
#pragma once

#include "common.h"

#include <string>

namespace zpgp {

// What one -ka did to the keys of a file, over GnuPG 2 and the PGP 2.x keys alike.
struct ImportTally
{
    long added = 0, updated = 0, unchanged = 0, skipped = 0;
};

// The words for one key gpg or gpg1 imported (IMPORT_OK's reason bits): added, updated or
// unchanged, and for an added or updated key its "Key fingerprint =" line; counts it. Both key
// rings report through here, so a key reads the same whichever program holds it.
void ReportImportedKey(long bits, const std::string &label, const std::string &fingerprint,
                       ImportTally &tally);

// The count line, and the exit code: 10 when nothing was added or updated. `ring` is empty for
// the default key ring.
int ReportImportSummary(const ImportTally &tally, const std::string &ring, const std::string &file);

// Reports an import gpg carried out, with what gpg1 did to the file's PGP 2.x keys (`old`,
// empty when it did nothing) in the count; the exit code as above. oldKeysAdded: the file's
// PGP 2.x keys went to the legacy ring, so GnuPG 2 passing them over is no loss to report.
int ReportImport(const Context &cx, const GpgResult &r, const std::string &file,
                 bool oldKeysAdded = false, const ImportTally &old = {});

} // namespace zpgp
