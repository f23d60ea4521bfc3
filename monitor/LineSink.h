#pragma once
// A log that grows a line at a time: every write is flushed at once and the
// stream checked, so a killed program loses at most the line being written
// and a full disk is noticed at the line that did not fit.
#include <functional>
#include <memory>
#include <string>

class LineSink {
public:
    virtual ~LineSink() = default;
    // Writes and flushes `text`; false when any of it did not reach the file.
    virtual bool write(const std::string& text) = 0;
    // The file's name as given when it was opened (for the "Error" box).
    virtual const std::string& name() const = 0;
};

// Opens `path` new ("wt") or for appending; null (errno set) when it cannot.
using SinkOpener = std::function<std::unique_ptr<LineSink>(const std::string& path, bool append)>;

// The real file, creating the folder of `path` first when it is missing.
std::unique_ptr<LineSink> OpenLineFile(const std::string& path, bool append);
