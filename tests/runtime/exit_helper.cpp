// A tiny program that takes the exit path the way spec2wav and phaseview do;
// the tests run it and look at its exit code, its output and its files.
#include <unistd.h>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "runtime/errors.h"
#include "runtime/textfile.h"

using namespace orv;
using namespace orv::runtime;

// Runs the stack out, to see the overflow reported like an access violation.
static int deeper(int n) {
    volatile char pad[4096];
    pad[0] = static_cast<char>(n);
    if (n >= 0) return deeper(n + 1) + pad[0];
    return 0;
}

int main(int argc, char** argv) {
    requireProcessor();
    installSignalReports();
    if (argc < 2) return 64;
    const std::string_view what = argv[1];
    const char* file = std::getenv("ORVANE_HELPER_OUT");
    if (!file) file = "helper-out.txt";
    FileTable& files = programFiles();
    setBeforeExit([] { programFiles().printText(0, "[before exit]"); });
    if (what == "args") {
        files.printText(0, "<" + commandLineText(argc - 1, argv + 1) + ">", Ending::LineEnd);
        endProgram(0);
    }
    files.printText(0, "console first");
    if (files.openFile(file, FileMode::Output, 3) != 0) raiseAtSite(56, "helper");
    files.printText(3, "kept", Ending::LineEnd);
    if (what == "missing") {
        if (files.openFile("no/such/file.txt", FileMode::Input, 1) != 0) raiseAtSite(33, "spec2wav");
    } else if (what == "close") {
        if (files.closeFile(9) != 0) raiseAtSite(35, "spec2wav");
    } else if (what == "memory") {
        raiseError(errOutOfMemory, 80, "spec2wav");
    } else if (what == "high") {
        raiseError(18, 0, "");
    } else if (what == "message") {
        stopWithMessage("bad sample rate", exitBadInput);
    } else if (what == "end") {
        endProgram(0);
    } else if (what == "full") {
        if (files.openFile("/dev/full", FileMode::Output, 4) != 0) raiseAtSite(1, "helper");
        files.printText(4, "lost");
        endProgram(0);
    } else if (what == "kill" && argc > 2) {
        int sig = 0;
        std::from_chars(argv[2], argv[2] + std::strlen(argv[2]), sig);
        ::kill(::getpid(), sig);
    } else if (what == "abort") {
        ::abort();
    } else if (what == "segv") {
        // an address no program owns, but not null, which checkers catch before the fault
        volatile std::uintptr_t where = 16;
        auto* p = reinterpret_cast<volatile int*>(where);
        *p = 1;
    } else if (what == "recurse") {
        return deeper(0);
    }
    ::pause();
    return 0;
}
