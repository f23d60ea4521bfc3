// wexcon-sim: a virtual RS-485 line of detectors on a pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sim/Control.h"
#include "sim/Line.h"
#include "util/Version.h"

namespace {

constexpr size_t kMaxControlLine = 4096;
volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: wexcon-sim [--link PATH] [--detector DET]... [--detectors RANGE]... [--fault COMMAND]...\n"
                 "                  [--fast] [--echo] [--control PATH]\n"
                 "  --link PATH      publish the line as PATH (default /tmp/wexcon-sim/ttyDET0)\n"
                 "  --detector DET   ADDR:ir|uvir[,serial=N][,model=0xNNNN][,picture=0xNN][,locked]\n"
                 "                   [,maint=TEXT][,admin=TEXT][,notags][,altsensor][,product=TEXT][,fw=MAJOR.SUB]\n"
                 "                   [,log=N][,ring=SxP][,maxrecs=M][,logflags=F]\n"
                 "                   [,lamp=normal|weak|dead][,dci=F|dead45|dead44][,err420=E4/E20]\n"
                 "                   [,gain=G|G:G:G:G][,bg=B]\n"
                 "                   [,stream=line] (raw ADC stream seconds back to back); default: the demo line\n"
                 "                   1:ir, 2:uvir, 17:ir,locked,maint=maint17,admin=admin17\n"
                 "  --detectors RANGE FIRST-LAST:ir|uvir[,options of --detector]: one detector at\n"
                 "                   every address of the range; serial=N is FIRST's, counting up\n"
                 "  --fault COMMAND  a control command applied at start, e.g. drop=3, delay=200\n"
                 "  --fast           answer at once, without line pacing\n"
                 "  --control PATH   also take control commands from the named pipe PATH (made if\n"
                 "                   missing), so a program can write e.g. \"flame off\" to it\n"
                 "  --echo           play a half-duplex adapter that hands back every byte the host\n"
                 "                   sends before any answer (corrupt-echo N garbles the next N)\n"
                 "Control commands on standard input:\n%s\n",
                 wsim::controlHelp());
}

}  // namespace

int main(int argc, char** argv) {
    wsim::LineOptions opt;
    opt.link = "/tmp/wexcon-sim/ttyDET0";
    std::vector<wsim::DetectorConfig> detectors;
    std::vector<std::string> faults;
    std::string controlPath;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "wexcon-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--link") opt.link = value();
        else if (a == "--fast") opt.fast = true;
        else if (a == "--echo") opt.echo = true;
        else if (a == "--fault") faults.push_back(value());
        else if (a == "--control") controlPath = value();
        else if (a == "--detector") {
            std::string error;
            auto cfg = wsim::parseDetectorOption(value(), &error);
            if (!cfg) {
                std::fprintf(stderr, "wexcon-sim: %s\n", error.c_str());
                return 2;
            }
            detectors.push_back(*cfg);
        } else if (a == "--detectors") {
            std::string error;
            auto range = wsim::parseDetectorRange(value(), &error);
            if (!range) {
                std::fprintf(stderr, "wexcon-sim: %s\n", error.c_str());
                return 2;
            }
            detectors.insert(detectors.end(), range->begin(), range->end());
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("wexcon-sim %s\n", WexconVersion());
            return 0;
        } else {
            std::fprintf(stderr, "wexcon-sim: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (detectors.empty()) detectors = wsim::demoLine();
    if (const std::string clash = wsim::lineConflict(detectors); !clash.empty()) {
        std::fprintf(stderr, "wexcon-sim: %s\n", clash.c_str());
        return 2;
    }

    opt.notice = [](const std::string& text) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    };
    wsim::Line line(opt);
    for (const auto& d : detectors) line.addDetector(d);
    for (const auto& f : faults) {
        bool ok = false;
        const std::string r = wsim::runControlCommand(line, f, &ok);
        if (!ok) {
            std::fprintf(stderr, "wexcon-sim: --fault %s: %s\n", f.c_str(), r.c_str());
            return 2;
        }
    }

    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    if (!line.start(&error)) {
        std::fprintf(stderr, "wexcon-sim: %s\n", error.c_str());
        return 1;
    }
    // Opened for writing too, so that it never reports end of file between writers.
    int control = -1;
    if (!controlPath.empty()) {
        struct stat st{};
        if (::stat(controlPath.c_str(), &st) != 0 && ::mkfifo(controlPath.c_str(), 0600) != 0) {
            std::fprintf(stderr, "wexcon-sim: cannot make %s: %s\n", controlPath.c_str(), std::strerror(errno));
            return 2;
        }
        // Anything else would read as always readable and empty: a busy loop.
        if (::stat(controlPath.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
            std::fprintf(stderr, "wexcon-sim: %s is not a named pipe\n", controlPath.c_str());
            return 2;
        }
        control = ::open(controlPath.c_str(), O_RDWR | O_NONBLOCK);
        if (control < 0) {
            std::fprintf(stderr, "wexcon-sim: cannot open %s: %s\n", controlPath.c_str(), std::strerror(errno));
            return 2;
        }
    }
    std::printf("ready %s\n", opt.link.c_str());
    std::fflush(stdout);

    bool stdinOpen = true;
    std::string pendings[2];
    bool dropping[2] = {false, false};  // the rest of an overlong line is still coming
    while (!g_stop) {
        pollfd p[2] = {{stdinOpen ? 0 : -1, POLLIN, 0}, {control, POLLIN, 0}};
        const int r = ::poll(p, 2, 200);
        if (r <= 0) continue;
        for (int src = 0; src < 2; ++src) {
            if (!(p[src].revents & (POLLIN | POLLHUP))) continue;
            std::string& pending = pendings[src];
            char buf[512];
            const ssize_t n = ::read(p[src].fd, buf, sizeof buf);
            if (n <= 0) {
                if (src == 0) stdinOpen = false;  // keep serving the line until a signal
                continue;
            }
            pending.append(buf, static_cast<size_t>(n));
            if (dropping[src]) {
                const size_t nl = pending.find('\n');
                pending.erase(0, nl == std::string::npos ? std::string::npos : nl + 1);
                dropping[src] = nl == std::string::npos;
            }
            for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
                std::string cmd = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (!cmd.empty() && cmd.back() == '\r') cmd.pop_back();
                if (cmd.find_first_not_of(" \t") == std::string::npos) continue;
                if (cmd == "quit" || cmd == "exit") g_stop = 1;
                else std::printf("%s\n", wsim::runControlCommand(line, cmd).c_str());
                std::fflush(stdout);
            }
            if (pending.size() > kMaxControlLine) {
                std::printf("error: control line over %zu bytes dropped\n", kMaxControlLine);
                std::fflush(stdout);
                pending.clear();
                dropping[src] = true;
            }
        }
    }
    if (control >= 0) ::close(control);
    line.stop();
    return 0;
}
