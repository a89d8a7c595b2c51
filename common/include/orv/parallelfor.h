#pragma once
// Independent tasks over the machine's cores.
#include <cstddef>
#include <functional>

namespace orv {

// The threads the machine runs at once (at least 1).
unsigned machineThreads();

// Runs task(0) .. task(count - 1) on up to `threads` threads, the calling
// thread among them (0: machineThreads()). A thread that cannot be started
// leaves its tasks to the others, so every task runs in any case. Tasks must
// not write what another task reads or writes. The first exception a task
// throws stops the tasks not yet started and reaches the caller.
void parallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& task);

}  // namespace orv
