// Questions and pass phrase prompts of zorvex-pgp.
//
// When standard input is a terminal, prompts go to /dev/tty and answers come from it, with echo
// switched off for pass phrases unless +showpass. When standard input is not a terminal (a test,
// or a script feeding answers), a question is written to standard error and its answer read as
// one line from standard input; that is how the engine tests answer "remove?" questions. A pass
// phrase is only ever asked on a terminal. Under +batchmode nothing is ever asked.
#pragma once

#include "cleanup.h"

#include <optional>
#include <string>

namespace zpgp {

class Terminal
{
public:
    explicit Terminal(bool batch);
    ~Terminal();
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    // False under +batchmode, or when there is neither a terminal nor standard input to read.
    bool canAsk() const { return m_canAsk; }
    // Pass phrases are read from the terminal only, never from redirected standard input.
    bool hasTerminal() const { return m_canAsk && m_ownFd; }
    // Empty when nothing could be read (end of input, interrupted, batch mode).
    std::optional<std::string> readLine(const std::string &prompt, bool echo);
    // "y" or "yes" (any case) is yes; everything else, including no answer, is no.
    bool askYes(const std::string &prompt);

private:
    bool m_canAsk = false;
    int m_in = -1;
    int m_out = -1;
    bool m_ownFd = false;
};

} // namespace zpgp
