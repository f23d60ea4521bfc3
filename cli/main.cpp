// wexcon-cli: the detector operations of the service tool from a shell.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "protocol/Dcb.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/Version.h"

namespace {

int usage(const std::string& what) {
    std::cerr << "wexcon-cli: " << what << "\n" << CliSession::usage();
    return kCliUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // Answers are read a line at a time while a command waits for a signal
    // too; a stdio buffer would hide lines already read from the descriptor.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string port;
    unsigned long address = 1;
    bool tags = false, raw = false, log = false, json = false;
    size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        const std::string& a = args[i];
        if (a == "--help") {
            std::cout << CliSession::usage();
            return kCliOk;
        }
        if (a == "--version") {
            std::cout << "wexcon-cli " << WexconVersion() << "\n";
            return kCliOk;
        }
        if (a == "--tags") {
            tags = true;
        } else if (a == "--raw") {
            raw = true;
        } else if (a == "--log") {
            log = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--port" || a == "--address") {
            if (i + 1 >= args.size()) return usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--port") {
                port = v;
            } else {
                if (v.empty() || v.size() > 3 || v.find_first_not_of("0123456789") != std::string::npos ||
                    std::stoul(v) > 247)
                    return usage("bad address '" + v + "' (0 to 247)");
                address = std::stoul(v);
            }
        } else {
            return usage("unknown option " + a);
        }
    }
    if (i >= args.size()) return usage("no command");
    // Patches and the firmware file's own checks are files only: no detector.
    if ((args[i] == "patch" && i + 1 < args.size() && (args[i + 1] == "make" || args[i + 1] == "show")) ||
        (args[i] == "firmware" && i + 1 < args.size() && args[i + 1] == "info")) {
        CliSession session(std::cout, std::cerr);
        return session.run(std::vector<std::string>(args.begin() + static_cast<long>(i), args.end()));
    }
    if (port.empty()) return usage("--port is required");
    std::vector<std::string> command(args.begin() + static_cast<long>(i), args.end());

    WireState& w = Wire();
    if (!ParseDCB(port, &w.port)) return usage("bad port description '" + port + "'");
    if (command[0] == "run" && command.size() != 2) return usage("run FILE|-");
    if (log && !logs::openFiles(".")) {
        std::cerr << "wexcon-cli: cannot create logf1.txt/logf2.txt here\n";
        return kCliUsage;
    }
    SelectSlave(static_cast<unsigned>(address));
    w.useCmdTags = tags;
    // Every way out below closes the link: the driver's threads must be gone
    // before the process ends.
    struct Closer {
        ~Closer() {
            ResetWire();
            logs::closeFiles();
        }
    } closer;
    const bool open = raw ? OpenRawLink() : OpenModbusContext() != nullptr;
    if (!open) {
        std::cerr << "wexcon-cli: " << (w.openError.empty() ? "cannot open port " + ModeString(w.port) : w.openError)
                  << "\n";
        return kCliUsage;
    }

    CliSession session(std::cout, std::cerr);
    session.setJson(json);
    int status;
    if (command[0] == "run") {
        if (command[1] == "-") {
            status = session.runScript(std::cin);
        } else {
            std::ifstream in(command[1]);
            if (!in) {
                std::cerr << "wexcon-cli: cannot read " << command[1] << "\n";
                status = kCliUsage;
            } else {
                status = session.runScript(in);
            }
        }
    } else {
        status = session.run(command);
    }
    return status;
}
