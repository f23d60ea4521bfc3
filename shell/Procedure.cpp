#include "shell/Procedure.h"

#include "shell/ShellState.h"
#include "util/PumpWait.h"

void RunProcedure(std::shared_ptr<Panel> panel, std::function<void(Panel&)> procedure, bool holdPolling) {
    panel->clearAbort();
    // Set before the job waits its turn, so that no tick slips in between.
    if (holdPolling) Shell().busy = true;
    Shell().link().post([panel = std::move(panel), procedure = std::move(procedure), holdPolling] {
        if (!panel->aborted()) {
            SetThreadAbortFlag(&panel->abortFlag());
            procedure(*panel);
            SetThreadAbortFlag(nullptr);
        }
        if (holdPolling) Shell().busy = false;
    });
}
