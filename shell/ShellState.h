#pragma once
#include <atomic>
#include <memory>
#include <string>

#include "util/LinkWorker.h"

// The host settings of the running tool, read from Param.ini at start-up
// (and again where a window says so), before any worker runs.
struct HostSettings {
    std::atomic<int> usUnits{0};  // 0 metric, 1 US (feet, degrees Fahrenheit); read by the poll
    int textVariant = 1;      // 0..2: product name and connection texts
    bool skinButtons = true;
    bool simulateTree = true;
    std::string largeFont = "Calibri";
    std::string libraryVersion = "3.1.2";
};

// What the status poll learned about the current detector; written on the
// link worker, read by the windows.
struct DetectorView {
    std::atomic<int> pictureCode{0xDB};  // decides the model names
    std::atomic<bool> uvirModel{false};
    std::atomic<bool> alternateSensor{false};
    std::atomic<unsigned> lastSerial{0};
    std::atomic<unsigned> address{1};  // the detector requests go to
};

// The process-wide state of the application shell, in one place so that a
// test starts clean with ResetShell().
struct ShellState {
    HostSettings host;
    DetectorView detector;
    // Set around a procedure's exchanges so that the poll clock sends no tick.
    std::atomic<bool> busy{false};
    // Set while the console's script runs: windows compare before closing and
    // save their pictures under the script's names.
    std::atomic<bool> scriptRunning{false};
    // Set while a baud-rate switch waits for a whole answer at the new speed.
    std::atomic<bool> waitingForResponse{false};

    // The thread that talks to the detectors (created on first use).
    LinkWorker& link();
    // Lets the job it runs finish and ends it, if there is one.
    void stopLink();

private:
    std::unique_ptr<LinkWorker> link_;
};

ShellState& Shell();
// Stops the link worker (after the job it runs) and clears everything.
void ResetShell();
