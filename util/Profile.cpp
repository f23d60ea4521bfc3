#include "util/Profile.h"

#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/Log.h"

namespace {

void load(const std::string& file, CSimpleIniA& ini) {
    // A missing or unreadable file reads as empty, as the classic functions do.
    ini.LoadFile(file.c_str());
}

// Before a write the file must be read whole, or be missing: writing back
// what an unreadable file seemed to hold would lose every other setting.
bool loadForWrite(const std::string& file, CSimpleIniA& ini) {
    if (::access(file.c_str(), F_OK) != 0 && errno == ENOENT) return true;
    return ini.LoadFile(file.c_str()) == SI_OK;
}

// A line break would end the line early and start a key or section of its
// own; a ']' ends a section name.
bool writable(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value) {
    const auto breaks = [](const std::string& t) { return t.find_first_of("\r\n") != std::string::npos; };
    if (!breaks(section) && !breaks(key) && !breaks(value) && section.find(']') == std::string::npos) return true;
    DebugLog("Profile write to %s refused: a line break in [%s] %s, or ']' in the section name", file.c_str(),
             section.substr(0, section.find_first_of("\r\n")).c_str(), key.substr(0, key.find_first_of("\r\n")).c_str());
    errno = EINVAL;
    return false;
}

bool store(const std::string& file, const CSimpleIniA& ini) {
    std::string text;
    if (ini.Save(text) < 0) return false;
    const std::string temp = file + ".tmp" + std::to_string(::getpid());
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() &&
                         std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
    if (std::fclose(f) != 0 || !written || std::rename(temp.c_str(), file.c_str()) != 0) {
        const int reason = errno;  // for the caller's message, past the clean-up
        std::remove(temp.c_str());
        errno = reason;
        return false;
    }
    return true;
}

std::string stripQuotes(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

std::string rtrim(std::string v) {
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.pop_back();
    return v;
}

}  // namespace

int ProfileGetInt(const std::string& file, const std::string& section, const std::string& key,
                  int defaultValue) {
    CSimpleIniA ini(false, false, false);
    load(file, ini);
    const char* v = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!v || !*v) return defaultValue;
    // Leading number only ("12abc" is 12, "abc" is 0), decimal or 0x-hex.
    return static_cast<int>(std::strtol(stripQuotes(v).c_str(), nullptr, 0));
}

std::string ProfileGetString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& defaultValue,
                             size_t maxChars) {
    return ProfileGetStrings(file, section, {key}, defaultValue, maxChars)[0];
}

std::vector<std::string> ProfileGetStrings(const std::string& file, const std::string& section,
                                           const std::vector<std::string>& keys,
                                           const std::string& defaultValue, size_t maxChars) {
    CSimpleIniA ini(false, false, false);
    load(file, ini);
    std::vector<std::string> values;
    for (const std::string& key : keys) {
        const char* v = ini.GetValue(section.c_str(), key.c_str(), nullptr);
        std::string out = v ? stripQuotes(v) : rtrim(defaultValue);
        if (out.size() > maxChars) out.resize(maxChars);
        values.push_back(std::move(out));
    }
    return values;
}

bool ProfileWriteString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) {
    return ProfileWriteStrings(file, section, {{key, value}});
}

bool ProfileWriteStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& keys) {
    for (const auto& [key, value] : keys)
        if (!writable(file, section, key, value)) return false;
    CSimpleIniA ini(false, false, false);
    if (!loadForWrite(file, ini)) return false;
    for (const auto& [key, value] : keys)
        if (ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0) return false;
    return store(file, ini);
}

bool ProfileWriteInt(const std::string& file, const std::string& section, const std::string& key,
                     int value) {
    return ProfileWriteString(file, section, key, std::to_string(value));
}

bool ProfileDeleteKey(const std::string& file, const std::string& section, const std::string& key) {
    CSimpleIniA ini(false, false, false);
    if (!loadForWrite(file, ini)) return false;
    if (!ini.GetValue(section.c_str(), key.c_str(), nullptr)) return true;
    ini.Delete(section.c_str(), key.c_str(), false);
    return store(file, ini);
}

bool ProfileDeleteSection(const std::string& file, const std::string& section) {
    CSimpleIniA ini(false, false, false);
    if (!loadForWrite(file, ini)) return false;
    if (!ini.GetSection(section.c_str())) return true;
    ini.Delete(section.c_str(), nullptr);
    return store(file, ini);
}
