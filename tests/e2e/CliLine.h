#pragma once
// wexcon-cli's commands on a simulated line, in process: one session, its
// standard input and its two outputs.
#include <sstream>
#include <string>

#include "cli/CliCommands.h"
#include "support/TestLineWire.h"

class CliLine : public TestLine {
protected:
    // Runs `command` at `address` with `input` as standard input.
    int run(uint8_t address, const std::string& command, const std::string& input = "") {
        SelectSlave(address);
        in.clear();
        in.str(input);
        out.str("");
        err.str("");
        return session.run(splitWords(command));
    }

    std::istringstream in;
    std::ostringstream out, err;
    CliSession session{out, err, in};
};
