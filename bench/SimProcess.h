#pragma once
// wexcon-sim as a child process on a link of its own, paced at the line
// speed, so that time and CPU measured here are the host's alone.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

class SimProcess {
public:
    // `options`: the simulator's own (--detector ...); none: its demo line.
    explicit SimProcess(const std::vector<std::string>& options = {}) {
        link_ = "/tmp/wexcon-bench-" + std::to_string(::getpid()) + "/ttyDET0";
        int out[2];
        if (::pipe(out) != 0) return;
        std::vector<std::string> words{WEXCON_SIM, "--link", link_};
        words.insert(words.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&pid_, WEXCON_SIM, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        char line[512] = {};
        FILE* f = ::fdopen(out[0], "r");
        ready_ = pid_ > 0 && f && std::fgets(line, sizeof line, f) && std::string(line).rfind("ready ", 0) == 0;
        if (f) std::fclose(f);
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ready() const { return ready_; }
    const std::string& link() const { return link_; }

private:
    std::string link_;
    pid_t pid_ = -1;
    bool ready_ = false;
};
