#include "protocol/Dcb.h"

#include "link/CommDriver.h"
#include "wire/PortName.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

bool ParseDCB(const std::string& text, PortDescription* out) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool path = !lower.empty() && lower[0] == '/';
    if (!path && lower.rfind("com", 0) != 0) return false;
    // Device paths may hold colons of their own; the mode never does.
    const size_t colon = path ? lower.rfind(':') : lower.find(':');
    if (colon == std::string::npos) return false;

    PortDescription p;
    if (path) {
        p.portName = text.substr(0, colon);
        // The driver reads ';' as the start of a comment and trims blanks, so
        // such a path would name another device or other settings there.
        if (p.portName.find(';') != std::string::npos || std::isspace(static_cast<unsigned char>(p.portName.back())))
            return false;
    } else {
        unsigned n;
        if (!ParseDecimal(lower.substr(3, colon - 3), &n) || n < 1 || n > 99) return false;
        p.portName = (n < 10 ? "COM" : "\\\\.\\COM") + std::to_string(n);
    }

    std::string fields[4];
    size_t k = 0, start = colon + 1;
    for (;; ++k) {
        const size_t comma = lower.find(',', start);
        if (k == 3) {
            fields[k] = lower.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            LineSettings options;
            for (size_t at = comma; at != std::string::npos;) {
                const size_t next = lower.find(',', at + 1);
                if (!TakeLineOption(lower.substr(at + 1, next == std::string::npos ? next : next - at - 1), &options))
                    return false;
                at = next;
            }
            p.rs485 = options.rs485;
            p.echo = options.echo;
            break;
        }
        if (comma == std::string::npos) return false;
        fields[k] = lower.substr(start, comma - start);
        start = comma + 1;
    }
    if (!ParseDecimal(fields[0], &p.baud) || p.baud < 2400) return false;
    if (fields[1] != "n" && fields[1] != "e" && fields[1] != "o") return false;
    p.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[1][0])));
    if (!ParseDecimal(fields[2], &p.dataBits) || p.dataBits < 1 || p.dataBits > 8) return false;
    if (!ParseDecimal(fields[3], &p.stopBits) || p.stopBits < 1 || p.stopBits > 8) return false;
    // The driver takes the port as its mode string; a path too long for it would lose its settings.
    if (ModeString(p).size() > kCommConfigMax) return false;
    p.text = text;
    *out = p;
    return true;
}

std::string ModeString(const PortDescription& port) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%s:%u,%c,%u,%u", port.portName.c_str(), port.baud,
                  static_cast<char>(std::tolower(static_cast<unsigned char>(port.parity))),
                  port.dataBits, port.stopBits);
    LineSettings options;
    options.rs485 = port.rs485;
    options.echo = port.echo;
    return buf + LineOptionsText(options);
}

std::string DescriptionText(const PortDescription& port) {
    PortDescription written;
    const bool same = ParseDCB(port.text, &written) && written.portName == port.portName &&
                      written.baud == port.baud && written.parity == port.parity &&
                      written.dataBits == port.dataBits && written.stopBits == port.stopBits &&
                      written.rs485 == port.rs485 && written.echo == port.echo;
    return same ? port.text : ModeString(port);
}
