#pragma once
// What holds for every parameter view of the process.
#include <mutex>
#include <string>

namespace paramview_detail {
inline std::mutex& Lock() {
    static std::mutex m;
    return m;
}
inline std::string& Folder() {
    static std::string folder;
    return folder;
}
}  // namespace paramview_detail

// The folder an unattended run (the screenshot run) has the views save their
// pictures and record copies in, "<folder>/<serial>/"; empty in normal use.
// While it is set the views show no message box: a question takes its
// default answer and a note goes only to the log.
inline void SetUnattendedOutputFolder(const std::string& folder) {
    std::lock_guard hold(paramview_detail::Lock());
    paramview_detail::Folder() = folder;
}
inline std::string UnattendedOutputFolder() {
    std::lock_guard hold(paramview_detail::Lock());
    return paramview_detail::Folder();
}
