#pragma once
// A second thread for the per-channel steps of an audio import: run() hands
// it a job, wait() waits for the job to end. When no thread can be started,
// run() does the job on the calling thread, so the result is the same.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orv::importer {

class ChannelThread {
public:
    ChannelThread();
    ~ChannelThread();
    ChannelThread(const ChannelThread&) = delete;
    ChannelThread& operator=(const ChannelThread&) = delete;

    void run(std::function<void()> job);
    void wait();

private:
    void loop();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool busy_ = false, stopping_ = false;
};

}  // namespace orv::importer
