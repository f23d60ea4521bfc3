#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/Elevation.h"
#include "util/Panel.h"

// What the "Modbus" window does, without the window: the standard register
// functions on the current detector with the operation, first register,
// count and values the user set, and the results as lines. The window only
// shows the controls, asks for the elevation level at 50,003, and hands the
// rest here. open() and run() exchange with the detector: on the link worker.
class RegisterWindow {
public:
    // `nowMs`: the clock of the 30-second ADMIN hold (tests move it by hand).
    explicit RegisterWindow(std::function<unsigned long long()> nowMs = {});

    // Reads the setup record to learn whether the detector is Locked. When
    // it does not arrive whole the window closes (IDCANCEL) and false returns.
    bool open(Panel& panel);

    // Lists the labels of the table the chosen operation uses. Touches no wire.
    static void showMap(Panel& panel);
    // True while the chosen operation uses the input register table.
    static bool usesInputTable(const Panel& panel);
    // True when "Do" writes the elevation registers at 50,003: the window
    // asks for the level (0 NONE, 1 MAINT, 2 ADMIN) before run().
    static bool wantsElevationLevel(const Panel& panel);

    // "Do". `level` is the menu's choice for 50,003 and unused otherwise.
    void run(Panel& panel, int level = 0);

    static constexpr int kLogReadTries = 3;
    static constexpr unsigned kLogReadPauseMs = 100;
    static constexpr int kSetupTries = 3;

private:
    void readHolding(Panel& panel, unsigned first, unsigned count);
    void writeSingle(Panel& panel, unsigned address);
    void writeMultiple(Panel& panel, unsigned first, int level);
    bool adminGranted(Panel& panel);

    std::function<unsigned long long()> nowMs_;
    std::optional<AdminElevation> admin_;
};

// The words read, 8 per line as "%04X", each line followed by their bytes as
// characters (low byte first, bytes below 33 as '.').
std::vector<std::string> WordLines(const uint16_t* words, size_t count);
