#include "keyrecords.h"

namespace zpgp {

namespace {

// Printable text with the backslash itself escaped too, so that every "\" a reader meets starts
// an escape.
void AppendField(std::string &out, std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t slash; (slash = text.find('\\', start)) != std::string_view::npos;
         start = slash + 1) {
        AppendPrintable(out, text.substr(start, slash - start));
        out += "\\x5c";
    }
    AppendPrintable(out, text.substr(start));
}

std::string CurveName(std::string_view curve)
{
    if (curve == "ed25519" || curve == "cv25519" || curve == "Curve25519")
        return curve == "ed25519" ? "Ed25519" : "Cv25519";
    if (curve == "ed448" || curve == "cv448")
        return curve == "ed448" ? "Ed448" : "X448";
    if (curve.starts_with("nistp"))
        return "P-" + std::string(curve.substr(5));
    return std::string(curve);
}

} // namespace

std::string KeyTypeName(const ListedKey &key)
{
    // Built in steps: GCC 12 at -O3 takes `" " + std::to_string(...)` for an overlapping copy.
    std::string bits(1, ' ');
    bits += std::to_string(key.bits);
    std::string name;
    switch (key.algorithm) {
    case 1:
    case 2:
    case 3:
        name = "RSA" + bits;
        break;
    case 16:
    case 20:
        name = "Elgamal" + bits;
        break;
    case 17:
        name = "DSA" + bits;
        break;
    case 18:
    case 19:
        name = (key.algorithm == 18 ? "ECDH " : "ECDSA ") + CurveName(key.curve);
        break;
    case 22:
        name = key.curve.empty() ? "EdDSA" : CurveName(key.curve);
        break;
    default:
        name = "Algorithm " + std::to_string(key.algorithm) + bits;
    }
    if (key.fingerprint.size() == 32)
        name += " (PGP 2.x)";
    return name;
}

std::string KeyStatusName(const ListedKey &key)
{
    if (key.revoked || key.validity == 'r')
        return "revoked";
    if (key.expired || key.validity == 'e')
        return "expired";
    if (key.disabled)
        return "disabled";
    return key.validity == 'f' || key.validity == 'u' ? "valid" : "not certified";
}

std::string FormatKeyRecords(const std::vector<ListedKey> &keys)
{
    std::string out = "zorvex-keys 1\n";
    out.reserve(keys.size() * 200);
    for (const ListedKey &key : keys) {
        std::string fingerprint = FormatFingerprint(key.fingerprint);
        if (!fingerprint.empty())
            fingerprint.erase(0, 1);
        out += "key\t";
        out += key.keyId;
        out += '\t';
        out += KeyTypeName(key);
        out += '\t';
        out += FormatKeyDate(key.created);
        out += '\t';
        if (key.expires > 0)
            out += FormatKeyDate(key.expires);
        out += '\t';
        out += KeyStatusName(key);
        out += key.secret ? "\tyes\t" : "\tno\t";
        out += fingerprint;
        out += '\n';
        for (const std::string &uid : key.userIds) {
            out += "uid\t";
            AppendField(out, uid);
            out += '\n';
        }
    }
    out += "end\t" + std::to_string(keys.size()) + "\n";
    return out;
}

} // namespace zpgp
