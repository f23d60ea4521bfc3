#pragma once
#include <functional>
#include <memory>

#include "util/Panel.h"

// Runs a window's procedure on the link worker, after whatever runs there
// now. While it runs, waits on the worker end early once the panel's abort is
// set, and with `holdPolling` the poll clock sends no tick. A procedure whose
// window was closed or aborted before its turn does not run; `skipped` then
// runs on the worker instead, so a window waiting for the end still hears of it.
void RunProcedure(std::shared_ptr<Panel> panel, std::function<void(Panel&)> procedure, bool holdPolling = true,
                  std::function<void()> skipped = {});
