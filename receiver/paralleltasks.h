#pragma once
// Independent tasks on up to a given number of threads, the calling thread
// among them. A thread that cannot be started is no failure: its share runs
// on the threads there are, down to the calling thread alone. An exception
// from a task stops the others from taking new tasks and is thrown again
// here, so that nothing escapes a thread.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace orv::receiver {

// 0, or more than the machine has: all of them.
inline unsigned coresToUse(unsigned asked) {
    const unsigned machine = std::max(1u, std::thread::hardware_concurrency());
    return asked == 0 || asked > machine ? machine : asked;
}

template <class Task>
void runParallel(std::size_t count, unsigned cores, Task task) {
    const std::size_t threads = std::min<std::size_t>(count, std::max(1u, cores));
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i) task(i);
        return;
    }
    std::atomic<std::size_t> nextTask{0};
    std::mutex failed;
    std::exception_ptr failure;
    auto work = [&] {
        try {
            for (std::size_t i; (i = nextTask++) < count;) task(i);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failed);
            if (!failure) failure = std::current_exception();
            nextTask = count;
        }
    };
    std::vector<std::thread> pool;
    try {
        pool.reserve(threads - 1);
        for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
        // no more threads to be had: the ones running and this one do it all
    } catch (const std::bad_alloc&) {}
    work();
    for (auto& th : pool) th.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace orv::receiver
