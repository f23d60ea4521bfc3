#include "wire/PortName.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace {

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

}  // namespace

bool ParseDecimal(const std::string& s, unsigned* out) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    *out = static_cast<unsigned>(std::strtoul(s.c_str(), nullptr, 10));
    return true;
}

std::string DeviceForPortName(const std::string& raw) {
    std::string name = raw.rfind("\\\\.\\", 0) == 0 ? raw.substr(4) : raw;
    if (name.empty()) return {};
    if (name[0] == '/') return name;
    if (name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(name[2])) == 'M') {
        unsigned n;
        if (ParseDecimal(name.substr(3), &n) && n >= 1 && n <= 256)
            return "/dev/ttyS" + std::to_string(n - 1);
    }
    return {};
}

bool TakeLineOption(const std::string& raw, LineSettings* s) {
    std::string word;
    for (char c : trim(raw)) word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool* flag = word == "rs485" ? &s->rs485 : word == "echo" ? &s->echo : nullptr;
    if (!flag || *flag) return false;
    *flag = true;
    return true;
}

std::string LineOptionsText(const LineSettings& s) {
    return std::string(s.rs485 ? ",rs485" : "") + (s.echo ? ",echo" : "");
}

bool BuildLineSettings(const std::string& mode, LineSettings* out) {
    const size_t colon = mode.rfind(':');
    if (colon == std::string::npos) return false;
    LineSettings s;
    s.device = DeviceForPortName(trim(mode.substr(0, colon)));
    if (s.device.empty()) return false;
    std::vector<std::string> fields;
    for (size_t start = colon + 1;;) {
        const size_t comma = mode.find(',', start);
        fields.push_back(trim(mode.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (fields.size() < 4) return false;
    for (size_t k = 4; k < fields.size(); ++k)
        if (!TakeLineOption(fields[k], &s)) return false;
    if (!ParseDecimal(fields[0], &s.baud) || fields[1].size() != 1 ||
        !ParseDecimal(fields[2], &s.dataBits) || !ParseDecimal(fields[3], &s.stopBits))
        return false;
    s.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[1][0])));
    if (s.parity != 'N' && s.parity != 'E' && s.parity != 'O') return false;
    *out = s;
    return true;
}
