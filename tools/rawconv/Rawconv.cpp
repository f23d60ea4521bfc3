// Rawconv FILE: an ADC recording as text, FILE.txt beside it. A streamed
// recording (.bin) gives "# block N" (the status block's number) before the
// samples of each second; a pulled one (.100) "# block K" before each of its
// sample blocks, counted from 0. One sample a line, the signed value of its
// three bytes, little-endian. Exit 0, or 2 when FILE cannot be read, holds no
// recording, or FILE.txt cannot be written. Rawconv_LB, the UV/IR model's
// converter, is the same program.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kSync[12] = {0x7F, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xA8};
constexpr size_t kSyncSize = 12, kStatusBlock = 180, kPulledBlock = 1380;

bool SyncAt(const std::vector<uint8_t>& d, size_t at) {
    return at + kSyncSize <= d.size() && std::memcmp(d.data() + at, kSync, kSyncSize) == 0;
}

void Samples(std::string& out, const uint8_t* p, size_t bytes) {
    char line[16];
    for (size_t i = 0; i + 3 <= bytes; i += 3) {
        int32_t v = p[i] | p[i + 1] << 8 | p[i + 2] << 16;
        if (v & 0x800000) v -= 0x1000000;
        std::snprintf(line, sizeof line, "%d\n", v);
        out += line;
    }
}

// Status block, then the samples up to the next sync (or the end).
bool Streamed(const std::vector<uint8_t>& d, std::string& out) {
    size_t at = 0;
    bool any = false;
    while (SyncAt(d, at) && at + kStatusBlock <= d.size()) {
        uint32_t number;
        std::memcpy(&number, d.data() + at + kSyncSize, 4);
        at += kStatusBlock;
        size_t end = at;
        while (end < d.size() && !SyncAt(d, end)) ++end;
        out += "# block " + std::to_string(number) + "\n";
        Samples(out, d.data() + at, end - at);
        at = end;
        any = true;
    }
    return any && at == d.size();
}

// Sample blocks of 1,380 bytes: the sync and 456 samples.
bool Pulled(const std::vector<uint8_t>& d, std::string& out) {
    if (d.empty() || d.size() % kPulledBlock) return false;
    for (size_t k = 0; k * kPulledBlock < d.size(); ++k) {
        if (!SyncAt(d, k * kPulledBlock)) return false;
        out += "# block " + std::to_string(k) + "\n";
        Samples(out, d.data() + k * kPulledBlock + kSyncSize, kPulledBlock - kSyncSize);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE (writes FILE.txt)\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], path.c_str());
        return 2;
    }
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string text;
    const bool pulled = path.find(".100") != std::string::npos;
    if (!(pulled ? Pulled(data, text) : Streamed(data, text))) {
        std::fprintf(stderr, "%s: %s holds no %s recording\n", argv[0], path.c_str(), pulled ? "100 Hz" : "streamed");
        return 2;
    }
    const std::string outPath = path + ".txt";
    std::FILE* out = std::fopen(outPath.c_str(), "wb");
    const bool written = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (out && std::fclose(out) != 0) return 2;
    if (!written) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], outPath.c_str());
        return 2;
    }
    return 0;
}
