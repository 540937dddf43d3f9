// zorvex-cmd FILE: runs one batch file of the program's dialect. It starts nothing but the
// PGP engine and `more`, never a shell, and goes on with the next line after a failed
// command so that a script's DEL line always gets its turn.
//
// Liveness: the batch file is opened and held under a shared flock() for the whole run (the
// descriptor is close-on-exec, so the engine does not inherit it). The program keeps its own
// descriptor on the same file and probes it with a non-blocking exclusive lock: while the
// probe fails the script is alive; once it succeeds the interpreter has gone, and if the
// marker file is still there the script died before its DEL line.

#include "batchline.h"
#include "enginetemps.h"
#include "passphrase.h"
#include "safefiles.h"
#include "stepresults.h"

#include "../zorvex-pgp/printable.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

bool echoOn = true;
int errorLevel = 0;

// Pieces rather than one concatenated string: GCC 12 warns falsely about the temporaries.
void say(std::initializer_list<std::string_view> parts)
{
    for (std::string_view part : parts)
        std::fwrite(part.data(), 1, part.size(), stdout);
    std::fflush(stdout);
}

// File names, folder names and script text may come from another user: escaped for the terminal.
std::string shown(std::string_view text)
{
    return zpgp::Printable(text);
}

std::string currentDirectory()
{
    char buf[PATH_MAX];
    return shown(getcwd(buf, sizeof buf) ? std::string(buf) : std::string("."));
}

std::string enginePath()
{
    if (const char *pgp = std::getenv("ZORVEX_PGP"); pgp && *pgp)
        return pgp;
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string beside(self, static_cast<size_t>(n));
        beside = beside.substr(0, beside.rfind('/') + 1) + "zorvex-pgp";
        if (access(beside.c_str(), X_OK) == 0)
            return beside;
    }
    return "zorvex-pgp"; // found along the PATH by posix_spawnp
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// Runs the engine with the words after "PGP.EXE"; its standard output goes to the
// redirection file, through `more`, or straight to ours.
void runEngine(const BatchCommand &cmd)
{
    const std::string program = enginePath();
    std::vector<std::string> args = cmd.words;
    args[0] = program;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    const std::optional<std::string> passphrase = TakePassphrase(rest);
    args.resize(1);
    args.insert(args.end(), rest.begin(), rest.end());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    EngineStep step(cmd.words);

    int outFd = -1;
    if (cmd.redirected) {
        std::string refused;
        outFd = OpenRedirectTarget(cmd.redirectTarget, cmd.append, refused);
        if (outFd < 0) {
            say({shown(refused), "\n"});
            step.notStarted(refused);
            errorLevel = 1;
            return;
        }
    }

    pid_t morePid = -1;
    int pipeFds[2] = {-1, -1};
    const bool throughMore = !cmd.redirected && !cmd.pipeTo.empty() && isatty(STDOUT_FILENO);
    if (throughMore && pipe2(pipeFds, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_t moreActions;
        posix_spawn_file_actions_init(&moreActions);
        posix_spawn_file_actions_adddup2(&moreActions, pipeFds[0], STDIN_FILENO);
        char more[] = "more";
        char *moreArgv[] = {more, nullptr};
        if (posix_spawnp(&morePid, "more", &moreActions, nullptr, moreArgv, environ) != 0)
            morePid = -1;
        posix_spawn_file_actions_destroy(&moreActions);
        close(pipeFds[0]);
        if (morePid < 0) {
            close(pipeFds[1]);
            pipeFds[1] = -1;
        }
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    else if (pipeFds[1] >= 0)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    step.redirectErrors(&actions);
    const int passFd = passphrase ? PassphrasePipe(*passphrase) : -1;
    std::vector<std::string> env;
    std::vector<char *> envp;
    if (passFd >= 0) {
        // dup2 onto itself clears close-on-exec in the engine only.
        posix_spawn_file_actions_adddup2(&actions, passFd, passFd);
        env = EnvironmentWithPassFd(passFd);
    } else {
        for (char **e = environ; e && *e; ++e)
            env.emplace_back(*e);
    }
    step.addReportVariable(env);
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = passphrase && passFd < 0 ? errno
                                            : posix_spawnp(&pid, program.c_str(), &actions, nullptr,
                                                           argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (passFd >= 0)
        close(passFd);
    if (outFd >= 0)
        close(outFd);
    if (pipeFds[1] >= 0)
        close(pipeFds[1]);

    if (rc != 0) {
        const std::string why =
            "'" + cmd.words[0] + "' could not be run (" + program + ": " + std::strerror(rc) + ")";
        say({shown(why), "\n"});
        step.notStarted(why);
        errorLevel = 9009;
    } else {
        errorLevel = step.wait(pid);
        RemoveEngineTemps();
    }
    if (morePid > 0)
        waitFor(morePid);
}

void deleteFiles(const BatchCommand &cmd)
{
    if (cmd.words.size() < 2) {
        say({"The syntax of the command is incorrect.\n"});
        errorLevel = 1;
        return;
    }
    errorLevel = 0;
    for (size_t i = 1; i < cmd.words.size(); ++i) {
        const std::string &name = cmd.words[i];
        // Only plain names in the current directory: no paths, switches or wildcards, so a
        // script can never reach beyond its own work files.
        if (name.empty() || name == "." || name == ".." ||
            name.find_first_of("/*?") != std::string::npos || name.front() == '-') {
            say({"DEL refuses \"", shown(name),
                 "\": only plain file names in the current directory\n"});
            errorLevel = 1;
            continue;
        }
        struct stat st;
        if (lstat(name.c_str(), &st) != 0) {
            say({"Could Not Find ", currentDirectory(), "/", shown(name), "\n"});
            errorLevel = 1;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            say({"DEL refuses \"", shown(name), "\": it is a directory\n"});
            errorLevel = 1;
            continue;
        }
        if (unlink(name.c_str()) != 0) {
            say({"Cannot delete ", shown(name), ": ", std::strerror(errno), "\n"});
            errorLevel = 1;
        } else {
            RecordDeletion(name);
        }
    }
}

void pause()
{
    say({"Press any key to continue . . . "});
    WaitForKey();
    say({"\n"});
}

// A terminal would otherwise close before the user could read why nothing ran.
void holdTerminal()
{
    if (isatty(STDIN_FILENO))
        pause();
}

void echo(const BatchCommand &cmd)
{
    // "ECHO OFF" / "ECHO ON" switch; "ECHO" alone reports; anything else is printed.
    const std::string rest = cmd.text.size() > 4 ? cmd.text.substr(5) : std::string();
    if (cmd.words.size() == 2 && SameCommand(cmd.words[1], "off") && !cmd.redirected) {
        echoOn = false;
    } else if (cmd.words.size() == 2 && SameCommand(cmd.words[1], "on") && !cmd.redirected) {
        echoOn = true;
    } else if (cmd.words.size() == 1 && cmd.text.size() <= 4) {
        say({echoOn ? "ECHO is on.\n" : "ECHO is off.\n"});
    } else {
        say({shown(rest), "\n"});
    }
}

void runLine(const std::string &line)
{
    const BatchCommand cmd = ParseBatchLine(line);
    if (echoOn && !cmd.quiet)
        say({"\n", currentDirectory(), ">", shown(cmd.text), "\n"});
    if (!cmd.error.empty()) {
        say({shown(cmd.error), "\n"});
        errorLevel = 1;
        return;
    }
    if (cmd.words.empty())
        return;
    const std::string &name = cmd.words[0];
    if (SameCommand(name, "rem"))
        return;
    if (SameCommand(name, "echo")) {
        echo(cmd);
        return;
    }
    if (!cmd.pipeTo.empty() && !(cmd.pipeTo.size() == 1 && SameCommand(cmd.pipeTo[0], "more"))) {
        say({"'", shown(cmd.pipeTo[0]),
             "' is not recognized as a command this interpreter runs.\n"});
        errorLevel = 9009;
        return;
    }
    if (SameCommand(name, "pgp.exe") || SameCommand(name, "pgp")) {
        runEngine(cmd);
    } else if (SameCommand(name, "del") || SameCommand(name, "erase")) {
        deleteFiles(cmd);
    } else if (SameCommand(name, "pause")) {
        pause();
    } else {
        say({"'", shown(name), "' is not recognized as a command this interpreter runs.\n"});
        errorLevel = 9009;
    }
}

} // namespace

int main(int argc, char **argv)
{
    // The engine ends with us: it checks that this process still lives when it starts, in case
    // we were killed between starting it and its first look.
    setenv("ZORVEX_CMD_PID", std::to_string(getpid()).c_str(), 1);
    KeepSecretsOutOfCoreDumps();
    const char *resultsPath = TakeOption(argc, argv, "--results=");
    // The program's own options, in either order: "--eyes=SOCKET", where eyes-only text goes,
    // and "--input=NAME=DEVICE:INODE", a work file the program wrote for the engine to read (the
    // engine refuses a file put in its place).
    const char *eyes = nullptr;
    const char *input = nullptr;
    for (bool taken = true; taken;) {
        taken = false;
        if (const char *path = TakeOption(argc, argv, "--eyes=")) {
            eyes = path;
            taken = true;
        }
        if (const char *value = TakeOption(argc, argv, "--input=")) {
            input = value;
            taken = true;
        }
    }
    SetEyesOnlySocket(eyes);
    if (input)
        setenv("ZORVEX_PGP_INPUT", input, 1);
    else
        unsetenv("ZORVEX_PGP_INPUT");
    // "--file-id DEVICE:INODE" names the file the program wrote; nothing else is run.
    std::string expectedId;
    if (argc == 4 && std::strcmp(argv[1], "--file-id") == 0) {
        expectedId = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: zorvex-cmd [--results=FILE] [--eyes=SOCKET] "
                             "[--input=NAME=DEVICE:INODE] [--file-id DEVICE:INODE] BATCHFILE\n");
        return 2;
    }
    OpenStepResults(resultsPath);
    RecordTerminalWindow();
    std::string refused;
    const int fd = OpenBatchFile(argv[1], expectedId, refused);
    if (fd < 0) {
        const std::string message = "zorvex-cmd runs nothing: " + refused + ".";
        say({shown(message), "\n"});
        // The program learns why through the result file, as for an engine that never ran.
        EngineStep(std::vector<std::string>{argv[1]}).notStarted(message);
        RecordRefusal(refused);
        holdTerminal();
        return 1;
    }
    // Held until exit; the program watches it to tell a running script from a dead one.
    while (flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }
    // The whole file is read first: a directory job's last line has the engine wipe it.
    std::string text;
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, static_cast<size_t>(n));
    }
    const std::vector<std::string> lines = SplitBatchLines(text);
    CountEngineSteps(lines);
    StartEngineTempList();
    for (const std::string &line : lines)
        runLine(line);
    EndEngineTempList();
    HoldIfStepsFailed();
    return errorLevel == 0 ? 0 : 1;
}
