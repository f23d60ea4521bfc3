#include "calib/Shutter.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <thread>

extern char** environ;

namespace autocal {

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any) words.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any) words.push_back(cur);
    return words;
}

namespace {
// The start's failure as the old start function numbered it.
std::string FailureText(const std::string& line, int err) {
    const char* why = nullptr;
    int code = err;
    switch (err) {
    case ENOENT: why = "The specified file was not found."; break;
    case ENOTDIR:
    case EACCES: why = "The specified path was not found."; break;
    case ENOEXEC: why = "The .exe file is invalid."; break;
    case ENOMEM:
    case EAGAIN: why = "The system is out of memory or resources."; break;
    default: break;
    }
    char buf[64];
    if (!why) std::snprintf(buf, sizeof buf, "Unknown error %d", code);
    return "WinExec(" + line + ") error:\r\n\r\n" + (why ? why : buf);
}
}  // namespace

std::optional<std::string> StartCommand(const std::string& line) {
    const auto words = SplitCommandLine(line);
    if (words.empty()) return FailureText(line, ENOENT);
    std::vector<char*> argv;
    for (const auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (rc != 0) return FailureText(line, rc);
    // Not awaited; reaped when it ends so that it leaves no zombie.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return std::nullopt;
}

}  // namespace autocal
