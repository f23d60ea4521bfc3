#include "shell/Procedure.h"

#include "shell/ShellState.h"
#include "util/PumpWait.h"

void RunProcedure(std::shared_ptr<Panel> panel, std::function<void(Panel&)> procedure, bool holdPolling,
                  std::function<void()> skipped) {
    panel->clearAbort();
    // Set before the job waits its turn, so that no tick slips in between.
    if (holdPolling) Shell().busy = true;
    Shell().link().post([panel = std::move(panel), procedure = std::move(procedure), holdPolling,
                         skipped = std::move(skipped)] {
        if (!panel->aborted()) {
            SetThreadAbortFlag(&panel->abortFlag());
            procedure(*panel);
            SetThreadAbortFlag(nullptr);
        } else if (skipped) {
            skipped();
        }
        if (holdPolling) Shell().busy = false;
    });
}
