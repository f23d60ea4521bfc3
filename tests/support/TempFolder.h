#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A fresh working folder for the test, removed afterwards; the previous
// working folder is restored.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/wexcon-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TempFolder() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(path_);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::filesystem::path previous_;
};

// The whole of a file; empty when it cannot be read.
inline std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
