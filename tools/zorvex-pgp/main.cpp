// zorvex-pgp: the PGP 2.6 command lines of Zorvex 5, carried out by GnuPG.
//
// Messages go to standard error, one line per failure; only -kv / -kvc listings and
// for-your-eyes-only text go to standard output. Exit codes follow PGP 2.6.
//
// This file only picks the command; commands.h tells where each one lives.

#include "commands.h"
#include "files.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace zpgp;

namespace {

int Dispatch(Context &cx)
{
    switch (cx.o.action) {
    case Action::Crypt:
        return DoCrypt(cx);
    case Action::Decrypt:
        return DoDecrypt(cx);
    case Action::WipeOnly:
        return DoWipeOnly(cx);
    case Action::KeyView:
        return DoKeyView(cx);
    case Action::KeyExtract:
        return DoKeyExtract(cx);
    case Action::KeyAdd:
        return DoKeyAdd(cx);
    case Action::KeyRemove:
        return DoKeyRemove(cx);
    case Action::KeyDisable:
        return DoKeyDisable(cx);
    case Action::KeyGenerate:
        return DoKeyGenerate(cx);
    case Action::KeyRemoveSigs:
        return DoKeyRemoveSigs(cx);
    case Action::KeyEdit:
        return DoKeyEdit(cx);
    case Action::KeySign:
        return DoKeySign(cx);
    }
    return kOther;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    BlankPassphraseArguments(argc, argv);
    InstallInterruptHandler();
    if (::isatty(0) && !std::getenv("GPG_TTY")) {
        if (const char *tty = ::ttyname(0))
            ::setenv("GPG_TTY", tty, 1);
    }
    ParseResult parsed = ParseCommandLine(args);
    for (std::string &a : args)
        std::fill(a.begin(), a.end(), '\0');
    if (!parsed.options) {
        Say(parsed.error);
        return kBadArguments;
    }
    Context cx;
    cx.o = std::move(*parsed.options);
    Terminal term(cx.o.batch);
    cx.term = &term;
    cx.cwd = CurrentDirectory();
    try {
        return Dispatch(cx);
    } catch (const Failure &f) {
        Say(f.message);
        return f.code;
    }
}
