// Runs gpg with an explicit argument vector (no shell), feeding a pass phrase through a pipe and
// collecting its --status-fd lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zpgp {

struct GpgResult;

// Takes gpg's standard output as it comes, so none of it has to be held in memory.
class OutputSink
{
public:
    virtual ~OutputSink() = default;
    // A new run of gpg starts: whatever an earlier one gave is void.
    virtual void begin() {}
    // `sofar` holds the status lines gpg gave before this data.
    virtual void write(const char *data, std::size_t size, const GpgResult &sofar) = 0;
    // True once nothing more can be kept (the output could not be written): gpg's output is no
    // longer read, so gpg stops at its next write instead of working through the rest.
    virtual bool refused() const { return false; }
};

struct GpgCall
{
    std::vector<std::string> args;         // after "gpg" and the status options
    std::optional<std::string> passphrase; // sent through --passphrase-fd
    bool interactive = false;              // gpg talks to the user on our terminal
    bool captureOutput = false;            // keep standard output in GpgResult::output
    OutputSink *sink = nullptr;            // or hand it over as it comes
    bool echoErrors = false;               // pass gpg's messages through to our stderr
    std::string program;                   // another gpg than GpgProgram() (GnuPG 1.4)
    bool loopback = true;                  // --pinentry-mode, which GnuPG 1.4 does not know
};

struct GpgResult
{
    bool started = false;
    int exitCode = -1; // gpg's own exit status; -1 if it died by a signal
    int signal = 0;
    std::vector<std::string> status; // without the "[GNUPG:] " prefix
    std::string output;
    std::string errors;

    bool has(std::string_view keyword) const;
    // The rest of the first status line with that keyword, or empty.
    std::string arg(std::string_view keyword) const;
    // gpg's last "gpg: ..." message, prefix removed, for one-line error reports.
    std::string lastMessage() const;
};

// The gpg program: $ZORVEX_GPG when set, otherwise "gpg" from PATH.
std::string GpgProgram();

GpgResult RunGpg(const GpgCall &call);

// Decodes the %XX escapes of a status line argument.
std::string DecodePercent(std::string_view text);

} // namespace zpgp
