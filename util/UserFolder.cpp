#include "util/UserFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string UserFolder(const char* xdgDataHome, const char* home) {
    // The base directory rules ignore a relative XDG_DATA_HOME.
    if (xdgDataHome && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/wexcon";
    if (home && home[0] == '/') return std::string(home) + "/.local/share/wexcon";
    return {};
}

bool EnterUserFolder(std::string* error) {
    const std::string folder = UserFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (folder.empty()) {
        *error = "neither XDG_DATA_HOME nor HOME names a folder";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec) std::filesystem::current_path(folder, ec);
    if (ec) *error = folder + ": " + ec.message();
    return !ec;
}
