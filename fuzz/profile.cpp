// Profile files of any content: reads never fail, and a write that reports
// success reads back as written with every other key kept; one that fails
// leaves the file as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Check.h"
#include "util/Profile.h"

namespace {

std::string contents(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Names as the program uses them: letters, digits and a few marks.
std::string name(FuzzedDataProvider& in) {
    static constexpr char kChars[] = "abcXYZ019_.-";
    std::string n(1, 'k');
    for (size_t i = in.ConsumeIntegralInRange<size_t>(0, 6); i > 0; --i) n += in.PickValueInArray(kChars);
    return n;
}

// A value as the format gives it back: without surrounding blanks, then
// without surrounding quotes, as the classic functions read it.
std::string asRead(std::string v) {
    const size_t first = v.find_first_not_of(" \t");
    v = first == std::string::npos ? "" : v.substr(first, v.find_last_not_of(" \t") - first + 1);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = [] {
        char folder[] = "/tmp/wexcon-fuzz-profile-XXXXXX";
        FUZZ_CHECK(::mkdtemp(folder));
        return std::string(folder) + "/Param.ini";
    }();
    FuzzedDataProvider in(data, size);
    // Keys whose values are compared after the write.
    std::vector<std::pair<std::string, std::string>> probes;
    for (size_t i = in.ConsumeIntegralInRange<size_t>(0, 4); i > 0; --i) probes.emplace_back(name(in), name(in));
    const std::string section = name(in), key = name(in);
    // Values are C strings, as every caller's are.
    const std::string value = in.ConsumeRandomLengthString(300).c_str();
    const std::string before = in.ConsumeRemainingBytesAsString();
    {
        std::ofstream f(file, std::ios::binary | std::ios::trunc);
        f << before;
    }

    std::vector<std::string> kept;
    for (const auto& [s, k] : probes) {
        kept.push_back(ProfileGetString(file, s, k, "\x01missing"));
        ProfileGetInt(file, s, k, -7);
    }
    if (!ProfileWriteString(file, section, key, value)) {
        FUZZ_CHECK(contents(file) == before);
        return 0;
    }
    FUZZ_CHECK(ProfileGetString(file, section, key, "\x01missing", value.size()) == asRead(value));
    for (size_t i = 0; i < probes.size(); ++i) {
        const auto& [s, k] = probes[i];
        if (strcasecmp(s.c_str(), section.c_str()) == 0 && strcasecmp(k.c_str(), key.c_str()) == 0) continue;
        FUZZ_CHECK(ProfileGetString(file, s, k, "\x01missing") == kept[i]);
    }
    return 0;
}
