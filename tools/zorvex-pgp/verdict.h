// What gpg's status lines say about signatures and decryption, told in PGP 2.6's words.
#pragma once

#include "common.h"

#include <string>

namespace zpgp {

// Prints one report per signature gpg checked, and tells the program; the exit code they add up
// to (0 or 30). A signature that could not be checked (the signer's key is missing) is a failure
// only when checking it was the whole job.
int ReportSignatures(const GpgResult &r, const std::string &input, bool uncheckedFails = true);

// True when gpg gave a verdict on at least one signature.
bool HasSignatureVerdict(const GpgResult &r);

// gpg failed, or succeeded only in part: true when everything it was to write is complete, so
// that a non-zero exit is down to signatures alone.
bool DataComplete(const GpgResult &r);

// Why gpg could not write its output (a full disk, a file size limit), or empty.
std::string WriteFailureReason(const GpgResult &r);
// Ends the run as a file error when gpg could not write `output`; `doing` is "Signing 'x'" or so.
void FailOnWriteError(const GpgResult &r, const std::string &doing, const std::string &output);

// PGP 2.6's two lines for a signature that does not match what it signs; exit 30, and nothing
// of the message is kept.
std::string BadSignatureReport(const std::string &userId);

// Ends the run with the reason a decryption (or the reading of a signed message) failed.
[[noreturn]] void DecryptFailure(const Context &cx, const GpgResult &r, const std::string &input,
                                 const std::string &output);

// "WARNING: ..." lines for a key that was revoked or expired; empty for a usable key. Times in
// seconds since 1970, 0 when unknown: a key that expired after the signature was made leaves the
// signature good.
std::string KeyStateWarning(const std::string &keyword, const std::string &userId,
                            long long signedAt = 0, long long keyExpired = 0);

} // namespace zpgp
