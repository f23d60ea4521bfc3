#include "shell/ShellState.h"

namespace {
std::unique_ptr<ShellState> g_shell = std::make_unique<ShellState>();
}  // namespace

LinkWorker& ShellState::link() {
    if (!link_) link_ = std::make_unique<LinkWorker>();
    return *link_;
}

void ShellState::stopLink() {
    if (link_) link_->stop();
}

ShellState& Shell() { return *g_shell; }

void ResetShell() {
    g_shell->stopLink();
    g_shell = std::make_unique<ShellState>();
}
