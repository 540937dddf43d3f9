// The key listing for programs (-kv +records): one line per record, fields separated by tabs, so
// that a reader needs no knowledge of PGP 2.6's column layout and loses nothing of a user ID.
#pragma once

#include "keylisting.h"

namespace zpgp {

// "RSA 3072", "Ed25519", "RSA 1024 (PGP 2.x)", ...
std::string KeyTypeName(const ListedKey &key);

// "valid", "expired", "revoked", "disabled" or "not certified".
std::string KeyStatusName(const ListedKey &key);

// The whole listing: a "zorvex-keys 1" line, then for each key a "key" line and one "uid" line
// per user ID (the primary first), and a closing "end" line with the number of keys. Tabs, line
// breaks and backslashes inside a field are written as "\xHH".
std::string FormatKeyRecords(const std::vector<ListedKey> &keys);

} // namespace zpgp
