#include "orv/parallelfor.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace orv {

unsigned machineThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

void parallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& task) {
    const std::size_t wanted = std::min<std::size_t>(count, threads == 0 ? machineThreads() : threads);
    std::atomic<std::size_t> next{0};
    std::exception_ptr thrown;
    std::mutex thrownLock;
    auto work = [&] {
        try {
            for (std::size_t i; (i = next++) < count;) task(i);
        } catch (...) {
            // Passed to the caller once every thread has stopped; no more tasks start.
            next = count;
            const std::lock_guard lock(thrownLock);
            if (!thrown) thrown = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no thread to be had: the ones running share the rest
        }
    }
    work();
    for (std::thread& t : pool) t.join();
    if (thrown) std::rethrow_exception(thrown);
}

}  // namespace orv
