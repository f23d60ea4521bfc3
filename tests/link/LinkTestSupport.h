#pragma once
// Helpers shared by the link tests: the far end of the line and an independent
// CRC come from tests/support; here are a wait and a private working folder.
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/PtyPeer.h"
#include "support/RefCrc.h"

namespace linktest {

// Polls `done` every millisecond until it holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A fresh folder as the working folder for the lifetime of the object, since
// Comm.ini, comm.log and mcommcode.dat live in the working folder.
class TempWorkDir {
public:
    TempWorkDir() {
        old_ = std::filesystem::current_path();
        std::string tmpl = (std::filesystem::temp_directory_path() / "wexcon-link-XXXXXX").string();
        if (::mkdtemp(tmpl.data())) dir_ = tmpl;
        std::filesystem::current_path(dir_);
    }
    ~TempWorkDir() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    std::filesystem::path file(const char* name) const { return dir_ / name; }
    void writeFile(const char* name, const std::string& text) const { std::ofstream(file(name)) << text; }
    std::string readFile(const char* name) const {
        std::ifstream in(file(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path old_;
    std::filesystem::path dir_;
};

}  // namespace linktest
