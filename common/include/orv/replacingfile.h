#pragma once
// Output that never costs an earlier good file: the bytes go to a temporary file
// beside the final name, which replaces the final name only once it is complete.
// The temporary name is unpredictable and created exclusively, so a link planted
// under any name is never followed; until the rename, a signal that ends the
// program removes it (removeTemporaryFiles).
#include <span>
#include <string>
#include <string_view>

#include "orv/outcome.h"

namespace orv {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ReplacingFile(ReplacingFile&& other) noexcept;
    ReplacingFile& operator=(ReplacingFile&& other) noexcept;
    ~ReplacingFile();  // removes the temporary file unless committed

    // Creates "<dir>/.<name>.XXXXXX" for path "<dir>/<name>". 0 or an errno value.
    int open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& temporaryPath() const { return temporary_; }
    const std::string& finalPath() const { return final_; }

    // Writes all of bytes (retrying short and interrupted writes). 0 or an errno value.
    int write(std::string_view bytes);
    // Closes and renames over the final name. 0 or an errno
    // value; on failure the temporary file is gone and the final name untouched.
    int commit();
    // Closes and removes the temporary file.
    void discard();

private:
    int fd_ = -1;
    int slot_ = -1;
    std::string temporary_;
    std::string final_;
};

// What a failed open, write or commit of path says: "cannot write <path>:
// <reason>", exit code errFileIO.
Failure writeFailure(const std::string& path, int error);

// bytes as the whole new content of path, through a replacing file.
Outcome<void> writeWholeFile(const std::string& path, std::string_view bytes);

// Several files, each written in full before any of them replaces its final
// name: a failure while writing leaves every earlier file as it was.
struct FileContent {
    std::string path;
    std::string_view bytes;
};
Outcome<void> writeWholeFiles(std::span<const FileContent> files);

// Async-signal-safe: removes every temporary file not yet committed or discarded.
void removeTemporaryFiles() noexcept;

// Every signal that would end the program and has no handler of its own yet
// (interrupt, termination, hang-up, quit, the user and alarm signals, limits,
// faults) removes the temporary files, then ends the program as the signal
// would have.
void removeTemporaryFilesOnSignals();

}  // namespace orv
