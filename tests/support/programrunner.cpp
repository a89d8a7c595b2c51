#include "support/programrunner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/scratchfolder.h"

namespace orv::testsupport {

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
    // The output goes through files beside the run, so a full pipe never blocks it.
    const std::filesystem::path where =
        options.folder.empty() ? std::filesystem::current_path() : options.folder;
    const std::filesystem::path out = where / ".program-out", err = where / ".program-err";
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(where.c_str()) != 0) _exit(127);
        if (options.stdinFromNull) dup2(open("/dev/null", O_RDONLY), 0);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        if (options.mergeErr) {
            dup2(o, 2);
        } else {
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        }
        if (options.output == RunOptions::Output::Closed) close(1);
        int ends[2];
        if (options.output == RunOptions::Output::GoneReader &&
            (pipe(ends) != 0 || dup2(ends[1], 1) < 0 || close(ends[0]) != 0))
            _exit(125);
        for (const std::string& name : options.unset) unsetenv(name.c_str());
        for (const std::string& v : options.env) putenv(const_cast<char*>(v.c_str()));
        // Root writes read-only files; a plain user does not.
        if (options.unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
        if (options.output == RunOptions::Output::Full) dup2(open("/dev/full", O_WRONLY), 1);
        if (options.fileSize > 0) {
            // As "ulimit -f" leaves it: SIGXFSZ ends the program unless it handles the limit itself.
            const rlimit limit{options.fileSize, options.fileSize};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.addressSpace > 0) {
            const rlimit limit{options.addressSpace, options.addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (options.processes > 0) {
            const rlimit limit{options.processes, options.processes};
            setrlimit(RLIMIT_NPROC, &limit);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ProgramRun run;
    if (pid < 0) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(out);
    run.err = readFile(err);
    std::error_code ec;
    std::filesystem::remove(out, ec);
    std::filesystem::remove(err, ec);
    return run;
}

}  // namespace orv::testsupport
