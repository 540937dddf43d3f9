#pragma once

#include <string>
#include <string_view>
#include <vector>

// The batch dialect the program writes, split into lines and commands. Kept free of any I/O
// so that unit tests and fuzzers can feed it arbitrary bytes.

// The lines of a batch file: CR LF and LF both end a line, leading and trailing blanks are
// dropped and empty lines are left out.
std::vector<std::string> SplitBatchLines(std::string_view text);

// cmd-style words: blanks (space, tab) separate words, double quotes group and are removed,
// "" on its own is an empty word. Nothing else is special: no variables, no escapes.
std::vector<std::string> SplitBatchWords(std::string_view text);

struct BatchCommand
{
    bool quiet = false;             // the line began with '@'
    std::string text;               // the line without its '@', as echoed
    std::vector<std::string> words; // the command name and its arguments
    bool redirected = false;        // "> file" or ">> file"
    bool append = false;            // ">>"
    std::string redirectTarget;
    std::vector<std::string> pipeTo; // the words after an unquoted '|'
    std::string error;               // set when the line cannot be understood
};

// One line of a batch file. Unquoted '>' and '|' start a redirection and a pipe; inside
// double quotes they are plain characters, as are '&', '%', '$' and backquotes everywhere.
BatchCommand ParseBatchLine(std::string_view line);

// ASCII case-insensitive comparison of a command name.
bool SameCommand(std::string_view a, std::string_view b);
