// Files of zorvex-pgp: path helpers, the input check, output files that appear only when
// complete, and wiping.
#pragma once

#include "common.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zpgp {

std::string CurrentDirectory();
std::string DirectoryOf(const std::string &path);
std::string BaseName(const std::string &path);
bool Exists(const std::string &path);
// At most `limit` bytes; empty when the file cannot be read.
std::string ReadWholeFile(const std::string &path, std::size_t limit);
// Text for -t and -m: no NUL and no control characters other than the usual layout ones.
bool IsTextFile(const std::string &path);

// The first argument, when it names a readable regular file; otherwise the run ends. A file the
// program wrote for this run (ZORVEX_PGP_INPUT="NAME=DEVICE:INODE") must still be that file:
// ours, regular, with no other name. It is then held open and read only through that descriptor.
std::string RequireInput(const Context &cx);

// How much plaintext a decryption of `input` may write: the program's work file comes from its
// editor and its result goes back there, which holds at most 64 MB; other files have no bound.
std::uint64_t PlaintextLimit(const std::string &input);

// The name under which gpg reads `name`: /dev/fd/N for the program's verified input, else none.
std::optional<std::string> VerifiedInputPath(const std::string &name);

// Written under a temporary name beside the final one and renamed into place only when complete,
// so a failure never leaves half an output and never touches an existing file. In a folder others
// may write to, the temporary name can be swapped for another file at any moment: the file is
// therefore only ever reached through the descriptor that created it, and renamed into place
// only while the name still leads to it.
class OutputFile
{
public:
    explicit OutputFile(const std::string &finalName);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // The name under which gpg (and this program) reach the file: its descriptor's /dev/fd
    // entry, which leads to the file created whatever has become of its name since.
    const std::string &temp() const { return m_path; }
    int fd() const { return m_fd; }
    const std::string &finalName() const { return m_final; }
    void setFinalName(const std::string &name) { m_final = name; }
    void discard();
    // Renames the file into place; unless privateMode, it gets the permissions umask allows.
    void commit(bool privateMode);
    // Renames the file into place, readable by no one who could not read `input`.
    void commitLike(const std::string &input);

private:
    void CheckStillOurs();

    std::string m_final;
    std::string m_temp;
    std::string m_path;
    int m_fd = -1;
};

// Settles the output name: an existing file needs the terminal's yes (or a new name); under
// +batchmode it is an error. The input itself is never an output.
std::string ConfirmOutputName(Context &cx, std::string name, const std::string &input);

// Ends the run before anything is written when -w could not wipe `input` afterwards.
void CheckWipeable(const std::string &input);

// Wipes the input after its output is written (-w).
void WipeInput(const std::string &input);

// Removes a directory and everything in it.
void RemoveTree(const std::string &dir);

} // namespace zpgp
