// Rawconv FILE: an ADC recording as text, FILE.txt beside it. A streamed
// recording (.bin) gives "# block N" (the status block's number) before the
// samples of each second; a pulled one (.100) "# block K" before each of its
// sample blocks, counted from 0. One sample a line, the signed value of its
// three bytes, little-endian. A piece cut short at the end (a killed or
// full-disk recording) is named on stderr and the rest converted. Exit 0, or
// 2 when FILE cannot be read, holds no recording, or FILE.txt cannot be
// written. Rawconv_LB, the UV/IR model's converter, is the same program.
//
// A week's recording runs to gigabytes: both files go a piece at a time, and
// FILE.txt is written as a temporary file that replaces it only when whole.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kSync[12] = {0x7F, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xA8};
constexpr size_t kSyncSize = 12, kStatusBlock = 180, kPulledBlock = 1380, kRead = 1 << 20;

bool SyncAt(const uint8_t* p) { return std::memcmp(p, kSync, kSyncSize) == 0; }

// The recording read a window at a time: the bytes from `at` on, refilled on demand.
class Input {
public:
    explicit Input(std::FILE* f) : f_(f) {}
    // At least `n` bytes from the position when the file holds them; the count there is.
    size_t need(size_t n) {
        if (at_ > 0 && buf_.size() - at_ < n) {
            buf_.erase(buf_.begin(), buf_.begin() + static_cast<long>(at_));
            at_ = 0;
        }
        while (buf_.size() - at_ < n && !end_) {
            const size_t had = buf_.size();
            buf_.resize(had + kRead);
            const size_t got = std::fread(buf_.data() + had, 1, kRead, f_);
            buf_.resize(had + got);
            end_ = got == 0;
            failed_ = failed_ || std::ferror(f_);
        }
        return buf_.size() - at_;
    }
    const uint8_t* data() const { return buf_.data() + at_; }
    void take(size_t n) { at_ += n; }
    bool atEnd() { return need(1) == 0; }
    bool failed() const { return failed_; }

private:
    std::FILE* f_;
    std::vector<uint8_t> buf_;
    size_t at_ = 0;
    bool end_ = false, failed_ = false;
};

class Output {
public:
    explicit Output(std::FILE* f) : f_(f) {}
    void text(const std::string& t) { ok_ = ok_ && std::fwrite(t.data(), 1, t.size(), f_) == t.size(); }
    // Whole samples only; returns the bytes they took.
    size_t samples(const uint8_t* p, size_t bytes) {
        char line[16];
        size_t i = 0;
        for (; i + 3 <= bytes && ok_; i += 3) {
            int32_t v = p[i] | p[i + 1] << 8 | p[i + 2] << 16;
            if (v & 0x800000) v -= 0x1000000;
            const int n = std::snprintf(line, sizeof line, "%d\n", v);
            ok_ = std::fwrite(line, 1, static_cast<size_t>(n), f_) == static_cast<size_t>(n);
        }
        return i;
    }
    bool ok() const { return ok_; }

private:
    std::FILE* f_;
    bool ok_ = true;
};

struct Result {
    bool any = false;       // a piece converted
    bool recording = true;  // false: not a recording of this kind
    size_t partial = 0;     // bytes of a piece cut short at the end
};

// Status block, then the samples up to the next sync (or the end). The
// samples after a second's block are as long as the first second's.
Result Streamed(Input& in, Output& out) {
    Result r;
    size_t firstChunk = 0;
    while (!in.atEnd() && out.ok()) {
        const size_t avail = in.need(kStatusBlock);
        if (avail < kStatusBlock || !SyncAt(in.data())) {
            // Anything but a whole block right after a second's samples is a cut one.
            if (!r.any || avail >= kStatusBlock) r.recording = false;
            else r.partial = avail;
            return r;
        }
        uint32_t number;
        std::memcpy(&number, in.data() + kSyncSize, 4);
        in.take(kStatusBlock);
        out.text("# block " + std::to_string(number) + "\n");
        r.any = true;
        size_t chunk = 0, carry = 0;
        for (;;) {
            const size_t have = in.need(kRead);
            const uint8_t* p = in.data();
            const uint8_t* sync = std::search(p, p + have, kSync, kSync + kSyncSize);
            // Without a sync, the last bytes may begin one.
            const size_t upTo = sync != p + have ? static_cast<size_t>(sync - p)
                                : have < kRead   ? have
                                                 : have - (kSyncSize - 1);
            const size_t used = out.samples(p, upTo);
            chunk += used;
            const bool done = sync != p + have || have < kRead;
            if (done) carry = upTo - used;
            in.take(done ? upTo : used);
            if (done || !out.ok()) break;
        }
        if (firstChunk == 0) firstChunk = chunk + carry;
        else if (in.atEnd() && chunk + carry < firstChunk) r.partial = chunk + carry;
    }
    return r;
}

// Sample blocks of 1,380 bytes: the sync and 456 samples.
Result Pulled(Input& in, Output& out) {
    Result r;
    for (size_t k = 0; !in.atEnd() && out.ok(); ++k) {
        const size_t avail = in.need(kPulledBlock);
        if (avail < kPulledBlock) {
            if (!r.any) r.recording = false;
            r.partial = avail;
            return r;
        }
        if (!SyncAt(in.data())) {
            r.recording = false;
            return r;
        }
        out.text("# block " + std::to_string(k) + "\n");
        out.samples(in.data() + kSyncSize, kPulledBlock - kSyncSize);
        in.take(kPulledBlock);
        r.any = true;
    }
    return r;
}

// Pulled recordings carry ".100" in their name (the window adds it unless the
// name holds it); streamed ones end ".bin". Folders do not count.
bool IsPulled(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const bool bin = name.size() >= 4 && name.compare(name.size() - 4, 4, ".bin") == 0;
    return !bin && name.find(".100") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE (writes FILE.txt)\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1], outPath = path + ".txt";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], path.c_str());
        return 2;
    }
    const std::string temp = outPath + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    std::FILE* text = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!text) {
        std::fclose(file);
        if (fd >= 0) ::close(fd);
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], outPath.c_str());
        return 2;
    }
    Input in(file);
    Output out(text);
    const bool pulled = IsPulled(path);
    const Result r = pulled ? Pulled(in, out) : Streamed(in, out);
    const bool readFailed = in.failed();
    std::fclose(file);
    const bool written = out.ok() && std::fflush(text) == 0 && ::fsync(::fileno(text)) == 0;
    const bool closed = std::fclose(text) == 0;
    const bool good = r.any && r.recording && !readFailed;
    if (!good || !written || !closed || std::rename(temp.c_str(), outPath.c_str()) != 0) {
        ::unlink(temp.c_str());
        if (readFailed) std::fprintf(stderr, "%s: cannot read %s\n", argv[0], path.c_str());
        else if (!good) std::fprintf(stderr, "%s: %s holds no %s recording\n", argv[0], path.c_str(), pulled ? "100 Hz" : "streamed");
        else std::fprintf(stderr, "%s: cannot write %s\n", argv[0], outPath.c_str());
        return 2;
    }
    if (r.partial)
        std::fprintf(stderr, "%s: %s ends in a piece cut short (%zu bytes); the pieces before it converted\n", argv[0],
                     path.c_str(), r.partial);
    return 0;
}
