#include "util/LinkWorker.h"

#include <chrono>
#include <future>
#include <memory>

LinkWorker::LinkWorker() : thread_([this] { run(); }) {}

LinkWorker::~LinkWorker() { stop(); }

void LinkWorker::post(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

bool LinkWorker::call(Job job, const std::atomic<bool>* giveUp) {
    if (onWorker()) {
        job();
        return true;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ran = done->get_future();
    post([job = std::move(job), done] {
        job();
        done->set_value();
    });
    // A stopped worker destroys the queued job, and with it the promise.
    while (ran.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        if (giveUp && giveUp->load()) return false;
        std::lock_guard lock(mutex_);
        if (stopping_ && !running_ && jobs_.empty()) return false;
    }
    try {
        ran.get();
    } catch (const std::future_error&) {
        return false;
    }
    return true;
}

void LinkWorker::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && !onWorker()) thread_.join();
}

bool LinkWorker::idle() const {
    std::lock_guard lock(mutex_);
    return !running_ && jobs_.empty();
}

void LinkWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) {
            jobs_.clear();
            return;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        running_ = false;
    }
}
