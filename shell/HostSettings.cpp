#include "shell/HostSettings.h"

namespace {
HostSettings g_host;
DetectorView g_detector;
}  // namespace

HostSettings& Host() { return g_host; }
DetectorView& Detector() { return g_detector; }

void ResetHost() {
    g_host = HostSettings{};
    g_detector = DetectorView{};
}
