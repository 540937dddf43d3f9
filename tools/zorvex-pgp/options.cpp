#include "options.h"
#include "printable.h"

#include <cctype>
#include <cstring>

namespace zpgp {

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "+name", "+name=on/off/yes/no/1/0", "+verbose=N".
std::string ApplySetting(Options &o, std::string_view item)
{
    std::string name = Lower(item.substr(1));
    std::string value = "on";
    if (const auto eq = name.find('='); eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
    }
    // Batch lines end in a blank; a stray one must not change the meaning.
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    if (name == "verbose") {
        if (value.size() != 1 || value[0] < '0' || value[0] > '2')
            return "Invalid value for +verbose: '" + value + "'.";
        o.verbose = value[0] - '0';
        return {};
    }
    bool on;
    if (value == "on" || value == "yes" || value == "1")
        on = true;
    else if (value == "off" || value == "no" || value == "0")
        on = false;
    else
        return "Invalid value for +" + name + ": '" + value + "'.";
    if (name == "batchmode")
        o.batch = on;
    else if (name == "clearsig")
        o.clearsig = on;
    else if (name == "showpass")
        o.showpass = on;
    else if (name == "keepbinary")
        o.keepbinary = on;
    else if (name == "armor")
        o.armor = on;
    else if (name == "textmode")
        o.text = on;
    else if (name == "records")
        o.records = on;
    else
        return "Unknown setting '+" + name + "'.";
    return {};
}

std::string ApplyKeyCommand(Options &o, std::string_view group)
{
    // group is what follows "-k"
    if (group == "g")
        o.action = Action::KeyGenerate;
    else if (group == "x" || group == "xa" || group == "ax") {
        o.action = Action::KeyExtract;
        o.armor = group.size() == 2;
    } else if (group == "a")
        o.action = Action::KeyAdd;
    else if (group == "r")
        o.action = Action::KeyRemove;
    else if (group == "rs")
        o.action = Action::KeyRemoveSigs;
    else if (group == "v" || group == "vv")
        o.action = Action::KeyView;
    else if (group == "vc" || group == "c") {
        o.action = Action::KeyView;
        o.fingerprints = true;
    } else if (group == "e")
        o.action = Action::KeyEdit;
    else if (group == "s")
        o.action = Action::KeySign;
    else if (group == "d")
        o.action = Action::KeyDisable;
    else
        return "Unknown key command '-k" + std::string(group) + "'.";
    return {};
}

} // namespace

ParseResult ParseCommandLine(const std::vector<std::string> &args)
{
    Options o;
    bool anyLetter = false, keyCommand = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a.size() > 1 && a[0] == '+') {
            if (std::string e = ApplySetting(o, a); !e.empty())
                return {std::nullopt, e};
            continue;
        }
        if (a.size() < 2 || a[0] != '-') {
            // A lone "-" is a file name to PGP, not standard input.
            o.args.push_back(a);
            continue;
        }
        if (a == "--") {
            for (++i; i < args.size(); ++i)
                o.args.push_back(args[i]);
            break;
        }
        if (a[1] == 'k' && !keyCommand && !anyLetter) {
            if (std::string e = ApplyKeyCommand(o, std::string_view(a).substr(2)); !e.empty())
                return {std::nullopt, e};
            keyCommand = true;
            continue;
        }
        for (std::size_t j = 1; j < a.size(); ++j) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(a[j])));
            if (c == 'u' || c == 'o' || c == 'z') {
                // The value is the rest of the group or, more usually, the next argument.
                std::string value;
                if (j + 1 < a.size()) {
                    value = a.substr(j + 1);
                } else if (i + 1 < args.size()) {
                    value = args[++i];
                } else {
                    return {std::nullopt, std::string("Option -") + c + " needs a value."};
                }
                if (c == 'u')
                    o.user = value;
                else if (c == 'o')
                    o.output = value;
                else
                    o.passphrases.push_back(value);
                break;
            }
            anyLetter = true;
            switch (c) {
            case 'e':
                o.encrypt = true;
                break;
            case 's':
                o.sign = true;
                break;
            case 'c':
                o.conventional = true;
                break;
            case 'a':
                o.armor = true;
                break;
            case 't':
                o.text = true;
                break;
            case 'm':
                o.eyesOnly = true;
                break;
            case 'b':
                o.detach = true;
                break;
            case 'w':
                o.wipe = true;
                break;
            case 'd':
                o.keepSignature = true;
                break;
            case 'p':
                o.restoreName = true;
                break;
            case 'f':
                return {std::nullopt, "Filter mode (-f) is not supported; give a file name."};
            default:
                return {std::nullopt, std::string("Unknown option '-") + a[j] + "'."};
            }
        }
    }
    if (keyCommand)
        return {o, {}};
    if (o.detach)
        o.sign = true;
    if (o.encrypt || o.sign || o.conventional)
        o.action = Action::Crypt;
    else if (o.wipe && !o.keepSignature && !o.restoreName)
        o.action = Action::WipeOnly;
    else
        o.action = Action::Decrypt;
    if (o.action == Action::Crypt && (o.keepSignature || o.restoreName))
        return {std::nullopt, "Options -d and -p only apply when decrypting."};
    return {o, {}};
}

void BlankPassphraseArguments(int argc, char **argv)
{
    // The same reading of option groups as ParseCommandLine, so joined forms such as "-cz pw" and
    // "-czpw" lose their value too.
    bool anyLetter = false, keyCommand = false;
    for (int i = 1; i < argc; ++i) {
        char *a = argv[i];
        if (a[0] != '-' || a[1] == '\0')
            continue;
        if (std::strcmp(a, "--") == 0)
            break;
        if (a[1] == 'k' && !keyCommand && !anyLetter) {
            keyCommand = true;
            continue;
        }
        for (char *p = a + 1; *p; ++p) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
            if (c == 'u' || c == 'o' || c == 'z') {
                char *value = p[1] ? p + 1 : (i + 1 < argc ? argv[++i] : nullptr);
                if (c == 'z' && value)
                    std::memset(value, ' ', std::strlen(value));
                break;
            }
            anyLetter = true;
        }
    }
}

namespace {
std::size_t ExtensionDot(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    // A leading dot (".profile") is part of the name, not an extension.
    if (dot == std::string_view::npos || dot <= base)
        return std::string_view::npos;
    return dot;
}
} // namespace

bool HasExtension(std::string_view path)
{
    return ExtensionDot(path) != std::string_view::npos;
}

std::string DefaultOutputName(std::string_view input, std::string_view extension)
{
    const std::size_t dot = ExtensionDot(input);
    std::string out(dot == std::string_view::npos ? input : input.substr(0, dot));
    out.append(extension);
    return out;
}

std::string DecryptOutputName(std::string_view input)
{
    const std::size_t dot = ExtensionDot(input);
    if (dot == std::string_view::npos)
        return std::string(input) + ".out";
    return std::string(input.substr(0, dot));
}

std::string SafeStoredName(std::string_view stored)
{
    if (stored.find('\0') != std::string_view::npos)
        return {};
    const std::size_t slash = stored.find_last_of("/\\");
    std::string name(slash == std::string_view::npos ? stored : stored.substr(slash + 1));
    // DOS drive letters ("C:name") would otherwise survive as part of the name.
    if (const auto colon = name.find_last_of(':'); colon != std::string::npos)
        name.erase(0, colon + 1);
    if (name.empty() || name == "." || name == ".." || name == "_CONSOLE")
        return {};
    // A name that would hide (".bashrc") or read as an option ("-rf") gets a visible prefix.
    // (Prefixed through a new string: GCC 12 at -O3 takes insert() for an overlapping copy.)
    if (name.front() == '.' || name.front() == '-')
        name = std::string(1, '_').append(name);
    // A control character in a file name would reach every terminal that lists it.
    return ReplaceControls(name, '_');
}

std::string KeyringPath(std::string_view argument, std::string_view cwd)
{
    std::string path(argument);
    if (!HasExtension(path))
        path += ".pgp";
    if (!path.empty() && path[0] == '/')
        return path;
    std::string base(cwd);
    if (!base.empty() && base.back() != '/')
        base += '/';
    return base + path;
}

} // namespace zpgp
