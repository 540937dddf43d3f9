// What the engine found, for the program that ran it as well as for the terminal: the terminal a
// job runs in closes when the job ends. The batch interpreter hands us a pipe and names it in
// ZORVEX_REPORT_FD; one record a line, "verdict KIND TEXT" or "eyes TEXT", TEXT with every byte
// at or below the blank, '%' and DEL written as %XX. Without the variable nothing is sent.
#pragma once

#include <cstddef>
#include <string>

namespace zpgp {

// One signature's verdict: printed on the terminal and sent as a record. KIND is one word:
// good, uncertified, unchecked, revoked, expired; or, for a key -ka added or updated, added or
// updated (no signature verdict: the text names the key and its fingerprint).
void TellVerdict(const std::string &kind, const std::string &text);

// A piece of for-your-eyes-only text for the program. Never written anywhere but the pipe.
void HandEyesOnly(const char *data, std::size_t size);

} // namespace zpgp
