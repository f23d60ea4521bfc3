#include "util/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes, bool secret) {
    // Unique per process and call, so that two writers never share a temporary file.
    static std::atomic<unsigned> serial{0};
    const std::string temp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, secret ? 0600 : 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int reason = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        errno = reason;  // the caller's message wants the first failure, not the clean-up's
    }
    return ok;
}

bool CanWriteFile(const std::string& path) {
    const std::string temp = path + ".probe" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(temp.c_str());
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return true;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t maxSize) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::vector<uint8_t> out;
    uint8_t chunk[4096];
    bool ok = true;
    // One byte past the limit is enough to know the file is too long.
    while (ok && out.size() <= maxSize) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) break;
        ok = n > 0;
        if (ok) out.insert(out.end(), chunk, chunk + n);
    }
    ::close(fd);
    if (!ok || out.size() > maxSize) return std::nullopt;
    return out;
}
