#include "util/Log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

struct Target {
    logs::LineSink list;
    FILE* file = nullptr;
};

std::mutex g_mutex;
Target g_general;
Target g_protocol;
// Read without the lock on every call so that a process with no console pays
// only this load.
std::atomic<bool> g_generalOn{false};
std::atomic<bool> g_protocolOn{false};

void refreshFlags() {
    g_generalOn = g_general.list || g_general.file;
    g_protocolOn = g_protocol.list || g_protocol.file;
}

// Tabs become four blanks and line feeds one blank, so a list line never
// breaks; the file gets the same text with exactly one line feed of its own.
std::string convertFormat(const char* format) {
    std::string out;
    for (const char* p = format; *p; ++p) {
        if (*p == '\t')
            out += "    ";
        else if (*p == '\n')
            out += ' ';
        else
            out += *p;
    }
    return out;
}

void write(Target& target, size_t bufferSize, const char* format, va_list args) {
    const std::string converted = convertFormat(format);
    std::string line(bufferSize, '\0');
    va_list copy;
    va_copy(copy, args);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::vsnprintf(line.data(), bufferSize, converted.c_str(), copy);
#pragma GCC diagnostic pop
    va_end(copy);
    line.resize(n < 0 ? 0 : std::min(static_cast<size_t>(n), bufferSize - 1));

    std::lock_guard lock(g_mutex);
    if (target.list) target.list(line);
    if (target.file) {
        std::fputs(line.c_str(), target.file);
        std::fputc('\n', target.file);
        std::fflush(target.file);
    }
}

FILE* openReplacing(const std::string& path) { return std::fopen(path.c_str(), "w"); }

}  // namespace

void DebugLog(const char* format, ...) {
    if (!g_generalOn.load(std::memory_order_relaxed)) return;
    va_list args;
    va_start(args, format);
    write(g_general, 4096, format, args);
    va_end(args);
}

void ProtocolLog(const char* format, ...) {
    if (!g_protocolOn.load(std::memory_order_relaxed)) return;
    va_list args;
    va_start(args, format);
    write(g_protocol, 1024, format, args);
    va_end(args);
}

void HexDumpLog(const uint8_t* bytes, size_t count) {
    if (!g_protocolOn.load(std::memory_order_relaxed) || !bytes) return;
    for (size_t at = 0; at < count; at += 32) {
        char line[32 * 3 + 1];
        size_t len = 0;
        for (size_t k = at; k < count && k < at + 32; ++k)
            len += static_cast<size_t>(std::snprintf(line + len, sizeof line - len, "%02X ", bytes[k]));
        line[len] = '\0';
        ProtocolLog("%s", line);
    }
}

namespace logs {

void attachLists(LineSink general, LineSink protocol) {
    std::lock_guard lock(g_mutex);
    g_general.list = std::move(general);
    g_protocol.list = std::move(protocol);
    refreshFlags();
}

void detachLists() { attachLists({}, {}); }

bool openFiles(const std::string& folder) {
    FILE* f1 = openReplacing(folder + "/logf1.txt");
    FILE* f2 = openReplacing(folder + "/logf2.txt");
    if (!f1 || !f2) {
        if (f1) std::fclose(f1);
        if (f2) std::fclose(f2);
        return false;
    }
    std::lock_guard lock(g_mutex);
    if (g_general.file) std::fclose(g_general.file);
    if (g_protocol.file) std::fclose(g_protocol.file);
    g_general.file = f1;
    g_protocol.file = f2;
    refreshFlags();
    return true;
}

void closeFiles() {
    std::lock_guard lock(g_mutex);
    if (g_general.file) std::fclose(g_general.file);
    if (g_protocol.file) std::fclose(g_protocol.file);
    g_general.file = g_protocol.file = nullptr;
    refreshFlags();
}

bool protocolActive() { return g_protocolOn.load(); }
bool debugActive() { return g_generalOn.load(); }

}  // namespace logs
