#pragma once

// The life of the Wexcon process: single-copy guard, host settings, the link
// (through the Host Settings dialog while it cannot open), the main window.
struct StartOptions {
    bool console = false;        // as Shift held at start-up
    bool rawDiagnostic = false;  // as both Shift keys held
};

// Runs the tool; returns the process exit code. Needs a QApplication.
int RunWexcon(const StartOptions& options);

// Starts a new copy of the program and ends this one with code 1; the new
// copy waits at the single-copy guard until this one is gone.
[[noreturn]] void RestartProgram();
