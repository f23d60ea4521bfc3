#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The one thread that talks to the detectors. Status polls, address
// switches and procedures are jobs it runs one after the other, so the
// interface thread only ever posts work and never waits on the wire.
class LinkWorker {
public:
    using Job = std::function<void()>;

    LinkWorker();
    ~LinkWorker();
    LinkWorker(const LinkWorker&) = delete;
    LinkWorker& operator=(const LinkWorker&) = delete;

    // Queues a job; jobs run in the order they were posted.
    void post(Job job);
    // Runs a job and waits for it, giving up (false) when `giveUp` becomes
    // true or the worker stops first. On the worker itself it runs at once.
    bool call(Job job, const std::atomic<bool>* giveUp = nullptr);
    // Finishes the running job, drops the queued ones and ends the thread.
    void stop();
    bool onWorker() const { return std::this_thread::get_id() == thread_.get_id(); }
    bool idle() const;

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    bool running_ = false;
    std::thread thread_;
};
