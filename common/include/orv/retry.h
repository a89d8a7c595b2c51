#pragma once
// A system call that a signal interrupted before it did anything (-1 with
// EINTR) is simply made again. Async-signal-safe: the exit path's report
// writer uses it inside the signal handlers.
#include <cerrno>

namespace orv {

template <class Call>
auto retryInterrupted(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) result = call();
    return result;
}

}  // namespace orv
