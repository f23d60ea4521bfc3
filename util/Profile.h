#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Settings files in the profile format, with the semantics of the classic
// profile functions: sections and keys match case-insensitively, missing keys
// give the default, the file is created on first write, and paths are taken
// relative to the working folder. Every call reads the file afresh; every
// write replaces the file whole (temporary file, then rename) or leaves it as
// it was.

// The leading integer of the value (optional sign, decimal or 0x-hex): the
// default when the key is missing or empty, 0 when the value holds no number.
int ProfileGetInt(const std::string& file, const std::string& section, const std::string& key,
                  int defaultValue);

// The value, without surrounding quotes, cut to maxChars characters (the
// classic buffer size minus its terminator). Default when the key is missing.
std::string ProfileGetString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& defaultValue,
                             size_t maxChars = 259);
// ProfileGetString for several keys of one section, the file read once.
std::vector<std::string> ProfileGetStrings(const std::string& file, const std::string& section,
                                           const std::vector<std::string>& keys,
                                           const std::string& defaultValue, size_t maxChars = 259);

// Writes refuse line breaks in section, key and value and ']' in the section
// (false, logged, errno EINVAL), so that no value can make keys of its own.
// A failed write leaves errno with the reason.
bool ProfileWriteString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value);
// Several keys of one section in one replacement of the file: all or none.
bool ProfileWriteStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& keys);
bool ProfileWriteInt(const std::string& file, const std::string& section, const std::string& key,
                     int value);
bool ProfileDeleteKey(const std::string& file, const std::string& section, const std::string& key);
bool ProfileDeleteSection(const std::string& file, const std::string& section);
