#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The two process-wide logs. With no sink attached (no console, no --log)
// they return at once and cost nothing but the check.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ProtocolLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Bytes as "%02X " groups, at most 32 per ProtocolLog line.
void HexDumpLog(const uint8_t* bytes, size_t count);

namespace logs {

// One formatted line for a console list (tabs and line feeds already made blanks).
using LineSink = std::function<void(const std::string& line)>;

// The console attaches its two lists here; empty functions detach. Sinks may be
// called from any thread; a window sink must hand the line to its own thread.
void attachLists(LineSink general, LineSink protocol);
void detachLists();

// logf1.txt and logf2.txt in `folder`, replaced on open. Returns false when
// either cannot be created (then neither is kept open).
bool openFiles(const std::string& folder = ".");
void closeFiles();

// True while ProtocolLog goes anywhere; doubles as the library's trace switch.
bool protocolActive();
bool debugActive();

}  // namespace logs
