#pragma once
// The first call of every program's main: standard streams that are safe to
// use before anything else is opened.
namespace orv {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that no
// file the program opens later lands on one of them and receives its console
// output; and ignores SIGPIPE, so that a reader that went away costs only the
// console text, never the program's files; and ignores SIGXFSZ, so that a
// file-size limit is a failed write like a full disk.
void prepareStandardStreams() noexcept;

}  // namespace orv
