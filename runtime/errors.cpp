#include "runtime/errors.h"

#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <atomic>
#include <charconv>
#include <exception>
#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "orv/replacingfile.h"
#include "orv/retry.h"
#include "runtime/textfile.h"

namespace orv::runtime {

namespace {

constexpr std::string_view errorTexts[] = {
    "",
    "illegal function call",
    "file not found",
    "file I/O error",
    "out of memory",
    "illegal resume",
    "out of bounds array access",
    "null pointer access",
    "no priviledges",
    "\"interrupted\" signal",
    "\"illegal instruction\" signal",
    "\"floating point error\" signal",
    "\"segmentation violation\" signal",
    "\"termination request\" signal",
    "\"abnormal termination\" signal",
    "\"quit request\" signal",
    "return without gosub",
    "end of file",
};
constexpr int errorCount = static_cast<int>(std::size(errorTexts));

constexpr std::size_t reportBuffer = 1024;

// Appends into a fixed buffer, keeping the last byte free as the old
// terminator did; no allocation, so the signal handlers can use it.
struct ReportWriter {
    char* buf;
    std::size_t used = 0;

    void add(std::string_view s) {
        std::size_t room = reportBuffer - 1 - used;
        std::size_t n = s.size() < room ? s.size() : room;
        if (n > 0) std::memcpy(buf + used, s.data(), n);
        used += n;
    }
    void add(int value) {
        char digits[16];
        auto r = std::to_chars(digits, digits + sizeof digits, value);
        add(std::string_view(digits, static_cast<std::size_t>(r.ptr - digits)));
    }
};

std::size_t composeInto(char* buf, int error, int site, std::string_view module) {
    ReportWriter w{buf};
    w.add("\nAborting due to runtime error ");
    w.add(error);
    if (error < 18) {
        w.add(" (");
        w.add(errorText(error));
        w.add(")");
    }
    if (site > 0) {
        w.add(" at line ");
        w.add(site);
    }
    if (!module.empty()) {
        w.add(site > 0 ? " of " : " in ");
        w.add(module);
        w.add("()\n\n");
    } else {
        w.add("\n\n");
    }
    return w.used;
}

std::function<void()>& beforeExitHook() {
    static std::function<void()> hook;
    return hook;
}

// Only write(2): the signal handlers use it too.
void writeError(std::string_view text) {
    const char* p = text.data();
    std::size_t n = text.size();
    while (n > 0) {
        const ssize_t w = retryInterrupted([&] { return ::write(STDERR_FILENO, p, n); });
        if (w <= 0) return;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
}

[[noreturn]] void exitPath(std::string_view report, int exitCode) {
    static std::atomic<bool> leaving{false};
    if (leaving.exchange(true)) std::_Exit(exitCode);  // a failure inside the exit path itself
    if (auto& hook = beforeExitHook()) hook();
    int closeStatus = programFiles().closeAll();
    std::fflush(nullptr);  // whatever went through stdio comes before the report
    if (!report.empty()) {
        writeError(report);
    } else if (closeStatus != 0 && exitCode == 0) {
        // A normal end whose files could not all be written is no success.
        char buf[reportBuffer];
        writeError(std::string_view(buf, composeInto(buf, closeStatus, 0, {})));
        exitCode = closeStatus;
    }
    std::_Exit(exitCode);
}

struct SignalError {
    int signal;
    int error;
};
constexpr SignalError signalErrors[] = {
    {SIGINT, 9},  {SIGILL, 10},  {SIGFPE, 11},  {SIGSEGV, 12},
    {SIGBUS, 12}, {SIGTERM, 13}, {SIGABRT, 14}, {SIGQUIT, 15},
};

extern "C" void signalReport(int sig) {
    static volatile std::sig_atomic_t inside = 0;
    int error = 14;
    for (const auto& s : signalErrors) {
        if (s.signal == sig) error = s.error;
    }
    if (!inside) {
        inside = 1;
        flushProgramFilesFromSignal();
        // Output not yet complete goes with its temporary name; earlier files stay.
        removeTemporaryFiles();
    }
    char buf[reportBuffer];
    writeError(std::string_view(buf, composeInto(buf, error, 0, {})));
    ::_exit(error);
}

// An allocation that fails outside the checked sites ends the run as out of
// memory, without site and module, like the signal reports; anything else
// uncaught aborts as before.
[[noreturn]] void reportUncaught() {
    if (const std::exception_ptr failure = std::current_exception()) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            raiseError(errOutOfMemory, 0, {});
        } catch (const std::length_error&) {
            raiseError(errOutOfMemory, 0, {});
        } catch (...) {}
    }
    std::abort();
}

}  // namespace

std::string_view errorText(int error) {
    if (error < 0 || error >= errorCount) return {};
    return errorTexts[error];
}

std::string composeReport(int error, int site, std::string_view module) {
    char buf[reportBuffer];
    return std::string(buf, composeInto(buf, error, site, module));
}

void raiseAtSite(int site, std::string_view module) { raiseError(programFiles().lastError(), site, module); }

void raiseError(int error, int site, std::string_view module) {
    char buf[reportBuffer];
    exitPath(std::string_view(buf, composeInto(buf, error, site, module)), error);
}

void endProgram(int exitCode) { exitPath({}, exitCode); }

void stopWithMessage(std::string_view message, int exitCode) {
    std::string line(message);
    line += '\n';
    exitPath(line, exitCode);
}

void setBeforeExit(std::function<void()> hook) { beforeExitHook() = std::move(hook); }

void installSignalReports() {
    std::set_terminate(reportUncaught);
    // A stack overflow needs a stack of its own to report on.
    static char alternate[64 * 1024];
    stack_t ss{};
    ss.ss_sp = alternate;
    ss.ss_size = sizeof alternate;
    ::sigaltstack(&ss, nullptr);
    for (const auto& s : signalErrors) {
        struct sigaction sa {};
        sa.sa_handler = signalReport;
        sa.sa_flags = SA_ONSTACK;
        sigemptyset(&sa.sa_mask);
        for (const auto& other : signalErrors) sigaddset(&sa.sa_mask, other.signal);
        ::sigaction(s.signal, &sa, nullptr);
    }
    // The other signals that end a program have no report; they still remove
    // the temporary files.
    removeTemporaryFilesOnSignals();
}

void requireProcessor() {
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    unsigned family = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        family = (eax >> 8) & 0xF;
        if (family == 0xF) family += (eax >> 20) & 0xFF;
    }
    // Without cpuid the processor is a 386 or older.
    if (family >= 4) return;
    programFiles().printText(0, "This program requires at least a 486 to run.", Ending::LineEnd);
    std::_Exit(1);
#else
    // Not an x86: nothing older than a 486 can run this build.
#endif
}

std::string commandLineText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        if (argv[i]) text += argv[i];
    }
    return text;
}

void endWithFailure(const Failure& failure, std::string_view module) {
    if (failure.kind == Failure::Kind::RunTimeError) raiseError(failure.exitCode, failure.site, module);
    stopWithMessage(failure.message, failure.exitCode);
}

}  // namespace orv::runtime
