#include "monitor/LineSink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace {

class LineFile : public LineSink {
public:
    LineFile(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}
    ~LineFile() override { std::fclose(file_); }

    bool write(const std::string& text) override {
        if (failed_) return false;
        struct stat before {};
        const bool sized = ::fstat(::fileno(file_), &before) == 0;
        const bool whole = std::fwrite(text.data(), 1, text.size(), file_) == text.size();
        failed_ = !whole || std::fflush(file_) != 0 || std::ferror(file_);
        // What a full disk took of the text goes again, so that the file
        // holds whole texts only (and a recording's bytes as counted).
        if (failed_ && sized && ::ftruncate(::fileno(file_), before.st_size) != 0) {
            // A device (/dev/full) has no length to cut back.
        }
        return !failed_;
    }
    const std::string& name() const override { return name_; }

private:
    std::FILE* file_;
    std::string name_;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<LineSink> OpenLineFile(const std::string& path, bool append) {
    const auto folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            errno = ec.value();
            return nullptr;
        }
    }
    // Binary: "\r\n" in a text reaches the file as CR LF, "\n" as LF.
    std::FILE* file = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (!file) return nullptr;
    // Every write is flushed anyway; unbuffered, a failed one leaves nothing
    // behind for the close to write after the cut.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::make_unique<LineFile>(file, path);
}
