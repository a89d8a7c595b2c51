#include "importer/channelthread.h"

#include <system_error>

namespace orv::importer {

ChannelThread::ChannelThread() {
    try {
        thread_ = std::thread([this] { loop(); });
    } catch (const std::system_error&) {
        // No second thread: run() works on the caller's.
    }
}

ChannelThread::~ChannelThread() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ChannelThread::run(std::function<void()> job) {
    if (!thread_.joinable()) return job();
    {
        std::lock_guard lock(mutex_);
        job_ = std::move(job);
        busy_ = true;
    }
    changed_.notify_all();
}

void ChannelThread::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
}

void ChannelThread::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || stopping_; });
        if (stopping_) return;
        lock.unlock();
        job_();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace orv::importer
