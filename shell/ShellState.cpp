#include "shell/ShellState.h"

namespace {
std::unique_ptr<ShellState> g_shell = std::make_unique<ShellState>();
}  // namespace

LinkWorker& ShellState::link() {
    if (!link_) link_ = std::make_unique<LinkWorker>();
    return *link_;
}

ShellState& Shell() { return *g_shell; }

void ResetShell() {
    g_shell->link().stop();
    g_shell = std::make_unique<ShellState>();
}
