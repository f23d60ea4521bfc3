#include "shell/ShellState.h"

#include <mutex>

namespace {
std::unique_ptr<ShellState> g_shell = std::make_unique<ShellState>();
// The worker is made on first use, which may come from the poll clock's
// thread and the interface thread at once.
std::mutex g_linkMutex;
}  // namespace

LinkWorker& ShellState::link() {
    std::lock_guard lock(g_linkMutex);
    if (!link_) link_ = std::make_unique<LinkWorker>();
    return *link_;
}

void ShellState::stopLink() {
    LinkWorker* worker = nullptr;
    {
        std::lock_guard lock(g_linkMutex);
        worker = link_.get();
    }
    // Outside the lock: a job that is ending may still ask for the worker.
    if (worker) worker->stop();
}

ShellState& Shell() { return *g_shell; }

void ResetShell() {
    g_shell->stopLink();
    g_shell = std::make_unique<ShellState>();
}
