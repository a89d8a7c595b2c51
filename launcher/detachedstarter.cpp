#include "launcher/detachedstarter.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "orv/retry.h"

namespace orv::launcher {
namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> candidateNames(std::string_view name) {
    std::vector<std::string> names{std::string(name)};
    if (name.size() > 4) {
        std::string_view suffix = name.substr(name.size() - 4);
        bool isExe = suffix[0] == '.';
        for (std::size_t i = 1; i < 4; ++i) {
            isExe = isExe && (suffix[i] | 0x20) == ".exe"[i];
        }
        if (isExe) names.emplace_back(name.substr(0, name.size() - 4));
    }
    return names;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    if (folder.empty()) folder = ".";
    std::string path(folder);
    if (path.back() != '/') path += '/';
    return path + std::string(name);
}

const char* searchPathOrDefault() {
    const char* path = std::getenv("PATH");
    return path ? path : "/usr/local/bin:/usr/bin:/bin";
}

bool isConsoleProgram(std::string_view name) {
    for (const std::string& candidate : candidateNames(name))
        for (const std::string& console : consolePrograms)
            if (candidate == console) return true;
    return false;
}

// Runs "$@", then waits for one key (not a whole line) before the terminal closes.
constexpr const char* holdOpenScript =
    "\"$@\"; status=$?\n"
    "printf '\\n%s ended with exit code %d. Press a key to close this window.' \"${1##*/}\" \"$status\"\n"
    "stty -icanon -echo min 1 2>/dev/null\n"
    "dd bs=1 count=1 >/dev/null 2>&1\n";

std::vector<char*> argumentVector(const std::string& programFile, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    if (argv.empty()) argv.push_back(const_cast<char*>(programFile.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// In a forked child: only async-signal-safe calls from here on (the launcher
// may have threads). Reports the reason through reportFd when exec fails.
[[noreturn]] void execChild(const std::string& programFile, char* const* argv, int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // What the launcher ignores, the started program chooses for itself.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &fallback, nullptr);
    ::sigaction(SIGXFSZ, &fallback, nullptr);
    // The window's own descriptors stay with the launcher; the standard
    // streams and the report pipe (closed by exec) remain.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execv(programFile.c_str(), argv);
    int error = errno;
    (void)!::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

// The reason exec failed, read from the report pipe; nothing once exec closed it.
std::optional<std::string> execFailure(int readEnd, const std::string& programFile) {
    int execError = 0;
    const ssize_t got = retryInterrupted([&] { return ::read(readEnd, &execError, sizeof execError); });
    ::close(readEnd);
    if (got != static_cast<ssize_t>(sizeof execError)) return std::nullopt;
    return "cannot start " + programFile + ": " + std::strerror(execError);
}

std::vector<std::string> blankSeparatedWords(std::string_view text) {
    std::vector<std::string> words;
    for (std::size_t at = 0; (at = text.find_first_not_of(" \t", at)) != std::string_view::npos;) {
        const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        words.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

}  // namespace

std::optional<std::vector<std::string>> findTerminal(std::string_view searchPath,
                                                     const char* terminalVariable) {
    std::vector<std::string> chosen = blankSeparatedWords(terminalVariable ? terminalVariable : "");
    if (!chosen.empty())
        if (auto found = resolveProgram(chosen.front(), "", searchPath)) {
            chosen.front() = *found;
            return chosen;
        }
    if (auto found = resolveProgram("x-terminal-emulator", "", searchPath))
        return std::vector<std::string>{*found};
    return std::nullopt;
}

std::vector<std::string> terminalArguments(const std::vector<std::string>& terminal,
                                           const std::vector<std::string>& arguments) {
    std::vector<std::string> all = terminal;
    all.insert(all.end(), {"-e", "/bin/sh", "-c", holdOpenScript, "sh"});
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
}

std::string ownProgramFolder() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return self.parent_path().string();
}

std::optional<std::string> resolveProgram(std::string_view name, std::string_view ownFolder,
                                          std::string_view searchPath) {
    if (name.empty()) return std::nullopt;
    std::vector<std::string> names = candidateNames(name);
    if (name.find('/') != std::string_view::npos) {
        for (const std::string& candidate : names) {
            if (isExecutableFile(candidate)) return candidate;
        }
        return std::nullopt;
    }
    std::vector<std::string_view> folders;
    if (!ownFolder.empty()) folders.push_back(ownFolder);
    while (true) {
        std::size_t colon = searchPath.find(':');
        folders.push_back(searchPath.substr(0, colon));
        if (colon == std::string_view::npos) break;
        searchPath.remove_prefix(colon + 1);
    }
    for (std::string_view folder : folders) {
        for (const std::string& candidate : names) {
            std::string path = joinPath(folder, candidate);
            if (isExecutableFile(path)) return path;
        }
    }
    return std::nullopt;
}

std::optional<std::string> spawnDetached(const std::string& programFile,
                                         const std::vector<std::string>& arguments) {
    // Everything the children need is made before fork.
    std::vector<char*> argv = argumentVector(programFile, arguments);
    int reportPipe[2];
    if (::pipe2(reportPipe, O_CLOEXEC) != 0)
        return std::string("cannot start ") + programFile + ": " + std::strerror(errno);

    pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0) execChild(programFile, argv.data(), reportPipe[1]);
        if (grandchild < 0) {
            int error = errno;
            (void)!::write(reportPipe[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    int forkError = errno;
    ::close(reportPipe[1]);
    if (child < 0) {
        ::close(reportPipe[0]);
        return "cannot start " + programFile + ": " + std::strerror(forkError);
    }
    int status = 0;
    retryInterrupted([&] { return ::waitpid(child, &status, 0); });
    // The write end closes on a successful exec, so the read sees the end of
    // the pipe; otherwise it gets the error number.
    return execFailure(reportPipe[0], programFile);
}

std::optional<std::string> spawnWatched(const std::string& programFile,
                                        const std::vector<std::string>& arguments, int watchMilliseconds,
                                        std::string consequence,
                                        std::shared_ptr<DetachedStarter::Reports> reports) {
    std::vector<char*> argv = argumentVector(programFile, arguments);
    int reportPipe[2];
    if (::pipe2(reportPipe, O_CLOEXEC) != 0)
        return std::string("cannot start ") + programFile + ": " + std::strerror(errno);
    const auto started = std::chrono::steady_clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        execChild(programFile, argv.data(), reportPipe[1]);
    }
    int forkError = errno;
    ::close(reportPipe[1]);
    if (child < 0) {
        ::close(reportPipe[0]);
        return "cannot start " + programFile + ": " + std::strerror(forkError);
    }
    if (auto failure = execFailure(reportPipe[0], programFile)) {
        retryInterrupted([&] { return ::waitpid(child, nullptr, 0); });
        return failure;
    }
    std::string name = std::filesystem::path(programFile).filename().string();
    try {
        // The thread also reaps the child, whenever it ends.
        std::thread([=, consequence = std::move(consequence), reports = std::move(reports)] {
            int status = 0;
            if (retryInterrupted([&] { return ::waitpid(child, &status, 0); }) != child) return;
            const auto took = std::chrono::steady_clock::now() - started;
            if (took > std::chrono::milliseconds(watchMilliseconds)) return;
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
            const std::string how = WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                                      : "signal " + std::to_string(WTERMSIG(status));
            const std::lock_guard lock(reports->lock);
            reports->lines.push_back(name + " ended at once (" + how + "): " + consequence);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to watch with: the program runs all the same, unwatched.
    }
    return std::nullopt;
}

DetachedStarter::DetachedStarter(std::string ownFolder, bool consoleInTerminal)
    : ownFolder_(std::move(ownFolder)), consoleInTerminal_(consoleInTerminal) {}

std::optional<std::string> DetachedStarter::start(const std::string& commandLine, WindowStyle) {
    std::vector<std::string> pieces = splitCommandLine(commandLine);
    if (pieces.empty()) return std::string("nothing to start");
    const char* path = searchPathOrDefault();
    std::optional<std::string> programFile = resolveProgram(pieces.front(), ownFolder_, path);
    if (!programFile)
        return "cannot find program " + pieces.front() + " (looked beside Wendrake and on PATH)";
    const bool console = consoleInTerminal_ && isConsoleProgram(pieces.front());
    // The program sees its own file as its name, as a Linux program expects.
    pieces.front() = *programFile;
    if (!console) return spawnDetached(*programFile, pieces);
    const std::string name = std::filesystem::path(*programFile).filename().string();
    // Both window styles of a console program ask for a window its output shows in.
    if (const auto terminal = findTerminal(path, std::getenv("TERMINAL")))
        return spawnWatched(terminal->front(), terminalArguments(*terminal, pieces),
                            terminalWatchMilliseconds,
                            name +
                                " did not run (set TERMINAL to a terminal program that works, or start "
                                "Wendrake from a terminal)",
                            reports_);
    if (std::optional<std::string> failure = spawnDetached(*programFile, pieces)) return failure;
    return "no terminal program ($TERMINAL or x-terminal-emulator) found: " + name + " runs without a window";
}

std::optional<std::string> DetachedStarter::lateReport() {
    const std::lock_guard lock(reports_->lock);
    if (reports_->lines.empty()) return std::nullopt;
    std::string line = std::move(reports_->lines.front());
    reports_->lines.pop_front();
    return line;
}

}  // namespace orv::launcher
