#include "secretkey.h"

#include "legacy.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace zpgp {

namespace {

std::vector<std::string> SplitColons(const std::string &line)
{
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ':')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    fields.resize(std::max<std::size_t>(fields.size(), 12));
    return fields;
}

std::string AlgorithmName(int algorithm)
{
    switch (algorithm) {
    case 1:
    case 2:
    case 3:
        return "RSA";
    case 16:
    case 20:
        return "Elgamal";
    case 17:
        return "DSA";
    case 18:
        return "ECDH";
    case 19:
        return "ECDSA";
    case 22:
        return "EdDSA";
    }
    return "algorithm " + std::to_string(algorithm);
}

bool SameKeyId(const std::string &a, const std::string &b)
{
    if (a.size() < 8 || b.size() < 8)
        return false;
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 1; i <= n; ++i) {
        if ((a[a.size() - i] | 0x20) != (b[b.size() - i] | 0x20))
            return false;
    }
    return true;
}

std::string Lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<SecretKey> LegacyWantedKey(const Context &cx, const GpgResult &r)
{
    // NEED_PASSPHRASE <key ID> <main key ID> <algorithm> <bits>
    const auto words = Words(r.arg("NEED_PASSPHRASE"));
    if (words.size() < 2)
        return std::nullopt;
    const auto listed = ListLegacy(cx, {words[1]}, true);
    if (listed.empty())
        return std::nullopt;
    const ListedKey &k = listed.front();
    SecretKey key;
    key.fingerprint = k.fingerprint;
    key.userIds = k.userIds;
    key.bits = k.bits;
    key.algorithm = words.size() >= 3 ? std::atoi(words[2].c_str()) : 1;
    key.created = k.created;
    key.keyIds = {k.keyId};
    return key;
}

} // namespace

std::vector<SecretKey> AgentSecretKeys(const Context &cx)
{
    Context plain = cx;
    plain.keyring.reset(); // secret keys live with the agent whatever the public ring
    GpgCall call;
    call.args = BaseArgs(plain);
    call.args.insert(call.args.end(), {"--with-colons", "--with-keygrip", "--fixed-list-mode",
                                       "--no-auto-check-trustdb", "--list-secret-keys"});
    call.captureOutput = true;
    const GpgResult r = Run(plain, call);
    std::vector<SecretKey> keys;
    std::size_t pos = 0;
    while (pos < r.output.size()) {
        std::size_t end = r.output.find('\n', pos);
        if (end == std::string::npos)
            end = r.output.size();
        const auto f = SplitColons(r.output.substr(pos, end - pos));
        pos = end + 1;
        if (f[0] == "sec") {
            keys.emplace_back();
            keys.back().bits = std::atoi(f[2].c_str());
            keys.back().algorithm = std::atoi(f[3].c_str());
            keys.back().created = std::atoll(f[5].c_str());
        }
        if (keys.empty())
            continue;
        SecretKey &k = keys.back();
        if (f[0] == "sec" || f[0] == "ssb")
            k.keyIds.push_back(f[4]);
        else if (f[0] == "fpr" && k.fingerprint.empty())
            k.fingerprint = f[9];
        else if (f[0] == "grp" && f[9].size() == 40)
            k.grips.push_back(f[9]);
        else if (f[0] == "uid")
            k.userIds.push_back(DecodeColonField(f[9]));
    }
    return keys;
}

std::optional<SecretKey> WantedKey(const Context &cx, const GpgResult &r,
                                   const std::vector<SecretKey> &keys,
                                   const std::vector<std::string> &args)
{
    if (r.has("NEED_PASSPHRASE") && LegacyRingInUse())
        return LegacyWantedKey(cx, r);
    // ENC_TO <key ID> ...: the first of the message's keys that is ours.
    for (const std::string &line : r.status) {
        if (line.rfind("ENC_TO ", 0) != 0)
            continue;
        const auto words = Words(line);
        for (const SecretKey &k : keys) {
            for (const std::string &id : k.keyIds) {
                if (words.size() > 1 && SameKeyId(id, words[1]))
                    return k;
            }
        }
    }
    // The signer: the key the call names, as gpg matches a name, else the first secret key gpg
    // considered that is not the key being certified.
    std::string named, certified;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--local-user")
            named = Lower(args[i + 1]);
        if (args[i] == "--quick-sign-key")
            certified = args[i + 1];
    }
    for (const SecretKey &k : keys) {
        bool match = !named.empty() && (Lower(k.fingerprint) == named ||
                                        (named.size() >= 8 && SameKeyId(k.keyIds.front(), named)));
        for (const std::string &id : k.userIds)
            match = match || (!named.empty() && Lower(id).find(named) != std::string::npos);
        if (match)
            return k;
    }
    for (const std::string &line : r.status) {
        const auto words = Words(line);
        for (const SecretKey &k : keys) {
            if (named.empty() && words.size() > 1 && words[0] == "KEY_CONSIDERED" &&
                words[1] == k.fingerprint && k.fingerprint != certified)
                return k;
        }
    }
    return std::nullopt;
}

std::string DescribeKey(const SecretKey &key)
{
    return "Key for user ID \"" +
           Printable(key.userIds.empty() ? std::string() : key.userIds.front()) + "\"\n" +
           std::to_string(key.bits) + "-bit " + AlgorithmName(key.algorithm) + " key, Key ID " +
           ShortId(key.keyIds.empty() ? key.fingerprint : key.keyIds.front()) + ", created " +
           FormatKeyDate(key.created) + "\n";
}

void ClearAgentCache(const std::vector<SecretKey> &keys)
{
    std::vector<std::string> args = {"gpg-connect-agent", "--no-autostart"};
    for (const SecretKey &k : keys) {
        for (const std::string &g : k.grips)
            args.push_back("clear_passphrase --mode=normal " + g);
    }
    if (args.size() == 2)
        return;
    args.push_back("/bye");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

AgentCacheCleared::AgentCacheCleared(const Context &cx, bool active)
{
    if (!active)
        return;
    m_keys = AgentSecretKeys(cx);
    ClearAgentCache(m_keys);
}

AgentCacheCleared::~AgentCacheCleared()
{
    ClearAgentCache(m_keys);
}

} // namespace zpgp
