// The secret keys a run may unlock: how the pass phrase prompt names them, and gpg-agent's cache
// of their pass phrases, which never serves one to this engine (each job asks again).
#pragma once

#include "common.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zpgp {

struct SecretKey
{
    std::string fingerprint; // of the primary key
    std::vector<std::string> userIds; // the first is the one shown
    int bits = 0;
    int algorithm = 0;
    std::int64_t created = 0;
    std::vector<std::string> keyIds; // 16 hex digits: the primary key, then its subkeys
    std::vector<std::string> grips;  // the agent's names for the same keys
};

// Every secret key the agent holds (whatever key ring the run was given).
std::vector<SecretKey> AgentSecretKeys(const Context &cx);

// The key a try of the call with `args` wanted: the one a message is encrypted to, else the
// signer. gpg1 names it in its status lines; its keys come from the legacy ring.
std::optional<SecretKey> WantedKey(const Context &cx, const GpgResult &r,
                                   const std::vector<SecretKey> &keys,
                                   const std::vector<std::string> &args);

// Lines naming a key before "Enter pass phrase:", the user ID escaped.
std::string DescribeKey(const SecretKey &key);

// Makes gpg-agent drop the pass phrases it holds for these keys.
void ClearAgentCache(const std::vector<SecretKey> &keys);

// While it lives, the agent serves no pass phrase it held before; when it goes, the agent keeps
// none that this run handed over.
class AgentCacheCleared
{
public:
    AgentCacheCleared(const Context &cx, bool active);
    ~AgentCacheCleared();
    AgentCacheCleared(const AgentCacheCleared &) = delete;
    AgentCacheCleared &operator=(const AgentCacheCleared &) = delete;
    const std::vector<SecretKey> &keys() const { return m_keys; }

private:
    std::vector<SecretKey> m_keys;
};

} // namespace zpgp
