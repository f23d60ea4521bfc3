#include "wire/PortError.h"

#include <sys/sysmacros.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string groupName(gid_t gid) {
    if (const group* g = ::getgrgid(gid)) return g->gr_name;
    return std::to_string(gid);
}

std::string userName(uid_t uid) {
    if (const passwd* p = ::getpwuid(uid)) return p->pw_name;
    return std::to_string(uid);
}

std::string permissionText(const std::string& device) {
    std::string text = "permission denied for " + device;
    struct stat st{};
    if (::stat(device.c_str(), &st) != 0) return text;
    const std::string group = groupName(st.st_gid);
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
        return text + ": it belongs to the group '" + group + "'; add your user to the '" + group +
               "' group and log in again (sudo usermod -aG " + group + " $USER)";
    // Joining the group would not help: only the owner may open it.
    return text + ": only its owner '" + userName(st.st_uid) + "' may open it, not the group '" + group +
           "'; ask the administrator to give that group read and write access (a udev rule), then add your "
           "user to it and log in again";
}

// The programs holding the device's lock, from /proc/locks: " (name pid N)".
std::string holders(const std::string& device) {
    struct stat st{};
    if (::stat(device.c_str(), &st) != 0) return {};
    char inode[64];
    std::snprintf(inode, sizeof inode, "%02x:%02x:%lu", ::major(st.st_dev), ::minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    FILE* locks = std::fopen("/proc/locks", "r");
    if (!locks) return {};
    std::string found;
    char line[256];
    while (std::fgets(line, sizeof line, locks)) {
        char kind[16], file[64];
        unsigned long pid;
        if (std::sscanf(line, "%*s %15s %*s %*s %lu %63s", kind, &pid, file) != 3) continue;
        if (std::strcmp(kind, "FLOCK") != 0 || std::strcmp(file, inode) != 0) continue;
        char comm[64] = "?";
        if (FILE* c = std::fopen(("/proc/" + std::to_string(pid) + "/comm").c_str(), "r")) {
            if (std::fgets(comm, sizeof comm, c)) comm[std::strcspn(comm, "\n")] = 0;
            std::fclose(c);
        }
        found += (found.empty() ? "" : ", ") + std::string(comm) + " pid " + std::to_string(pid);
    }
    std::fclose(locks);
    return found.empty() ? found : " (" + found + ")";
}

}  // namespace

std::string PortOpenErrorText(const std::string& device, int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return permissionText(device);
        case EBUSY:
        case EWOULDBLOCK:
            return device + " is in use by another program" + holders(device) +
                   "; close that program and try again";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return device + " does not exist; check that the adapter is plugged in and the port name is right";
        default:
            return "cannot open " + device + ": " + std::strerror(err);
    }
}
