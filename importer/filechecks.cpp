#include "importer/filechecks.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace orv::importer {

Outcome<void> checkInputFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        struct stat meta {};
        if (error == ENOENT && ::stat((path + ".sigmf-meta").c_str(), &meta) == 0)
            return Failure::stop(
                path + ": file not found (for the SigMF recording beside it, name " + path + ".sigmf-meta)",
                errFileNotFound);
        if (error == ENOENT) return Failure::stop(path + ": file not found", errFileNotFound);
        return Failure::stop(path + ": cannot open: " + std::strerror(error), errFileNotFound);
    }
    if (!S_ISREG(info.st_mode))
        return Failure::stop(path + ": not a file but a " +
                                 (S_ISDIR(info.st_mode)    ? "folder"
                                  : S_ISFIFO(info.st_mode) ? "FIFO"
                                                           : "device or other special file") +
                                 "; give a recording file",
                             exitBadInput);
    return {};
}

Outcome<void> checkOutputFile(const std::string& path, const std::vector<std::string>& inputs) {
    struct stat out {};
    if (::stat(path.c_str(), &out) != 0) return {};  // a new name
    // The output goes to a temporary file renamed over its name: a device,
    // FIFO or folder would be replaced by a file, or the rename would fail late.
    if (!S_ISREG(out.st_mode))
        return Failure::stop(
            path + ": exists and is not a file (a folder, FIFO or device); name a file to write",
            exitBadInput);
    for (const std::string& input : inputs) {
        struct stat in {};
        if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            return Failure::stop(path + ": is the input " + input + " itself; name another output",
                                 exitBadInput);
    }
    return {};
}

}  // namespace orv::importer
