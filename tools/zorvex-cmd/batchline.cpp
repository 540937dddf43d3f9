#include "batchline.h"

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

bool SameCommand(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::vector<std::string> SplitBatchLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        // A lone CR is a blank here too, so "CR LF" and a stray CR at the end both vanish.
        while (!line.empty() && (isBlank(line.back()) || line.back() == '\r'))
            line.remove_suffix(1);
        while (!line.empty() && isBlank(line.front()))
            line.remove_prefix(1);
        if (!line.empty())
            lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> SplitBatchWords(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true; // "" alone still makes a word, an empty one
        } else if (isBlank(c) && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

BatchCommand ParseBatchLine(std::string_view line)
{
    BatchCommand cmd;
    while (!line.empty() && isBlank(line.front()))
        line.remove_prefix(1);
    if (!line.empty() && line.front() == '@') {
        cmd.quiet = true;
        line.remove_prefix(1);
        while (!line.empty() && isBlank(line.front()))
            line.remove_prefix(1);
    }
    cmd.text = std::string(line);

    // Cut the line at the unquoted operators; each part is then split into words.
    std::string commandPart;
    std::string redirectPart;
    std::string pipePart;
    enum class Into
    {
        Command,
        Redirect,
        Pipe
    } into = Into::Command;
    bool quoted = false;
    bool piped = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        if (!quoted && c == '>') {
            if (cmd.redirected) {
                cmd.error = "more than one output redirection";
                return cmd;
            }
            cmd.redirected = true;
            if (i + 1 < line.size() && line[i + 1] == '>') {
                cmd.append = true;
                ++i;
            }
            into = Into::Redirect;
            continue;
        }
        if (!quoted && c == '|') {
            if (piped) {
                cmd.error = "more than one pipe";
                return cmd;
            }
            piped = true;
            into = Into::Pipe;
            continue;
        }
        switch (into) {
        case Into::Command:
            commandPart += c;
            break;
        case Into::Redirect:
            redirectPart += c;
            break;
        case Into::Pipe:
            pipePart += c;
            break;
        }
    }

    cmd.words = SplitBatchWords(commandPart);
    if (cmd.redirected) {
        // "> file" takes one word; anything after it belongs to the command, as with cmd.
        std::vector<std::string> target = SplitBatchWords(redirectPart);
        if (target.empty() || target.front().empty()) {
            cmd.error = "The syntax of the command is incorrect.";
            return cmd;
        }
        cmd.redirectTarget = target.front();
        cmd.words.insert(cmd.words.end(), target.begin() + 1, target.end());
    }
    if (piped) {
        cmd.pipeTo = SplitBatchWords(pipePart);
        if (cmd.pipeTo.empty()) {
            cmd.error = "The syntax of the command is incorrect.";
            return cmd;
        }
    }
    if (cmd.words.empty() && (cmd.redirected || !cmd.pipeTo.empty()))
        cmd.error = "The syntax of the command is incorrect.";
    return cmd;
}
