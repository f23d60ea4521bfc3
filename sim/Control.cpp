#include "sim/Control.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <utility>
#include <sstream>
#include <vector>

namespace wsim {

namespace {
bool parseNumber(const std::string& s, unsigned long max, unsigned long* out) {
    if (s.empty()) return false;
    try {
        size_t used = 0;
        const unsigned long v = std::stoul(s, &used, 0);
        if (used != s.size() || v > max || s[0] == '-') return false;
        *out = v;
        return true;
    } catch (...) {
        return false;
    }
}

bool parseFloat(const std::string& s, float* out) {
    try {
        size_t used = 0;
        const float v = std::stof(s, &used);
        if (used != s.size() || !std::isfinite(v)) return false;
        *out = v;
        return true;
    } catch (...) {
        return false;
    }
}

// Pairs of hex digits, words joined; false on an odd count or another character.
bool parseHex(const std::vector<std::string>& words, size_t from, Bytes* out) {
    std::string digits;
    for (size_t i = from; i < words.size(); ++i) digits += words[i];
    if (digits.empty() || digits.size() % 2) return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        out->push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

// The BIT lamp's names in option and control order; -1 for no name.
int lampNumber(const std::string& name) {
    return name == "normal" ? 0 : name == "weak" ? 1 : name == "dead" ? 2 : -1;
}

std::string hexText(const Bytes& b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t x : b) s += {kDigits[x >> 4], kDigits[x & 15]};
    return s;
}

// "MAJOR.SUB", each 0..255.
bool parseVersion(const std::string& s, uint8_t* major, uint8_t* sub) {
    const auto dot = s.find('.');
    unsigned long a = 0, b = 0;
    if (dot == std::string::npos || !parseNumber(s.substr(0, dot), 255, &a) || !parseNumber(s.substr(dot + 1), 255, &b))
        return false;
    *major = static_cast<uint8_t>(a);
    *sub = static_cast<uint8_t>(b);
    return true;
}

// A signed status code -128..127.
bool parseStatus(const std::string& s, int* out) {
    unsigned long v = 0;
    const bool minus = !s.empty() && s[0] == '-';
    if (!parseNumber(minus ? s.substr(1) : s, minus ? 128 : 127, &v)) return false;
    *out = minus ? -static_cast<int>(v) : static_cast<int>(v);
    return true;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}
}  // namespace

// "SxP": sectors by slots, each 0..255 (0 makes a detector whose ring the host must refuse).
bool parseRing(const std::string& s, DetectorConfig* c) {
    const auto x = s.find('x');
    unsigned long sectors = 0, slots = 0;
    if (x == std::string::npos || !parseNumber(s.substr(0, x), 0xFF, &sectors) ||
        !parseNumber(s.substr(x + 1), 0xFF, &slots))
        return false;
    c->ringSectors = static_cast<uint8_t>(sectors);
    c->ringSlots = static_cast<uint8_t>(slots);
    return true;
}

std::optional<DetectorConfig> parseDetectorOption(const std::string& text, std::string* error) {
    auto bad = [&](const std::string& why) -> std::optional<DetectorConfig> {
        if (error) *error = "bad detector '" + text + "': " + why;
        return std::nullopt;
    };
    const auto colon = text.find(':');
    if (colon == std::string::npos) return bad("expected ADDR:ir or ADDR:uvir");
    DetectorConfig c;
    unsigned long v = 0;
    if (!parseNumber(text.substr(0, colon), 247, &v) || v < 1) return bad("address must be 1..247");
    c.address = static_cast<uint8_t>(v);
    const auto parts = split(text.substr(colon + 1), ',');
    if (parts[0] == "ir") c.uvir = false;
    else if (parts[0] == "uvir") c.uvir = true;
    else return bad("family must be ir or uvir");
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        const auto eq = p.find('=');
        const std::string key = p.substr(0, eq);
        const std::string val = eq == std::string::npos ? "" : p.substr(eq + 1);
        if (key == "locked" && eq == std::string::npos) c.locked = true;
        else if (key == "notags" && eq == std::string::npos) c.tags = false;
        else if (key == "altsensor" && eq == std::string::npos) c.altSensor = true;
        else if (key == "lamp" && lampNumber(val) >= 0) c.lamp = static_cast<uint8_t>(lampNumber(val));
        else if (key == "stream" && val == "line") c.streamAtLineSpeed = true;
        else if (key == "serial" && parseNumber(val, 0xFFFFFFFFul, &v)) c.serial = static_cast<uint32_t>(v);
        else if (key == "model" && parseNumber(val, 0xFFFF, &v)) c.model = static_cast<uint16_t>(v);
        else if (key == "picture" && parseNumber(val, 0xFF, &v)) c.picture = static_cast<uint8_t>(v);
        else if (key == "maint" && val.size() <= 16) c.maint = val;
        else if (key == "admin" && val.size() <= 16) c.admin = val;
        else if (key == "product" && !val.empty() && val.size() <= 8) c.product = val;
        else if (key == "fw" && parseVersion(val, &c.fwMajor, &c.fwSub)) {}
        else if (key == "log" && parseNumber(val, 1'000'000, &v)) c.logRecords = static_cast<unsigned>(v);
        else if (key == "maxrecs" && parseNumber(val, 0xFF, &v)) c.maxRecs = static_cast<uint8_t>(v);
        else if (key == "logflags" && parseNumber(val, 0xFF, &v)) c.logFlags = static_cast<uint8_t>(v);
        else if (key == "ring" && parseRing(val, &c)) continue;
        else if (parseCalibOption(key, val, &c)) continue;
        else if (parseAutoCalibOption(key, val, &c)) continue;
        else return bad("option '" + p + "'");
    }
    return c;
}

std::optional<std::vector<DetectorConfig>> parseDetectorRange(const std::string& text, std::string* error) {
    auto bad = [&](const std::string& why) -> std::optional<std::vector<DetectorConfig>> {
        if (error) *error = "bad detectors '" + text + "': " + why;
        return std::nullopt;
    };
    const auto colon = text.find(':');
    const auto dash = text.find('-');
    if (colon == std::string::npos || dash == std::string::npos || dash > colon)
        return bad("expected FIRST-LAST:ir or FIRST-LAST:uvir");
    unsigned long first = 0, last = 0;
    if (!parseNumber(text.substr(0, dash), 247, &first) || !parseNumber(text.substr(dash + 1, colon - dash - 1), 247, &last) ||
        first < 1 || last < first)
        return bad("range must be FIRST-LAST within 1..247, FIRST not above LAST");
    std::string why;
    auto one = parseDetectorOption(text.substr(dash + 1), &why);
    if (!one) return bad(why.substr(why.find(": ") + 2));
    const uint32_t firstSerial = one->serial;
    if (firstSerial && firstSerial > 0xFFFFFFFFul - (last - first)) return bad("serial numbers run past 32 bits");
    std::vector<DetectorConfig> out;
    for (unsigned long a = first; a <= last; ++a) {
        one->address = static_cast<uint8_t>(a);
        if (firstSerial) one->serial = firstSerial + static_cast<uint32_t>(a - first);
        out.push_back(*one);
    }
    return out;
}

std::string lineConflict(const std::vector<DetectorConfig>& detectors) {
    for (size_t i = 0; i < detectors.size(); ++i)
        for (size_t j = 0; j < i; ++j) {
            if (detectors[i].address == detectors[j].address)
                return "two detectors at address " + std::to_string(detectors[i].address);
            if (serialOf(detectors[i]) == serialOf(detectors[j]))
                return "two detectors with serial number " + std::to_string(serialOf(detectors[i]));
        }
    return {};
}

std::vector<DetectorConfig> demoLine() {
    DetectorConfig ir, uvir, locked;
    ir.address = 1;
    uvir.address = 2;
    uvir.uvir = true;
    locked.address = 17;
    locked.locked = true;
    locked.maint = "maint17";
    locked.admin = "admin17";
    ir.logRecords = uvir.logRecords = 40;  // a log to download
    return {ir, uvir, locked};
}

const char* controlHelp() {
    return "drop N | corrupt N | corrupt-echo N | wrong-address N | short N [KEEP] | delay MS | silent [ADDR] |\n"
           "talk [ADDR] | restart ADDR | hang ADDR [WATCHDOG_MS] | fault ADDR BIT on|off |\n"
           "alarm ADDR | bit ADDR | refuse-setup ADDR [N] | corrupt-setup ADDR [N] | message ADDR TEXT... |\n"
           "param ADDR [OFFSET HEX] | fire ADDR [weak] | set ADDR vin|temp|ma VALUE | set ADDR auto |\n"
           "bit-mode ADDR normal|never|stuck | devinfo-corrupt ADDR OFFSET [SKIP] | flash-silent ADDR HEXADDR |\n"
           "version ADDR TEXT... | explode ADDR MS|none [false] | fm-fire ADDR MS [x] [norelay] | status |\n"
           "fw ADDR lose|restart K | fw ADDR status K CODE | fw ADDR ask K J | fw ADDR deaf K MS |\n"
           "fw ADDR end CODE | fw ADDR params-change | fw ADDR params-ignore N |\n"
           "lamp ADDR normal|weak|dead | lens ADDR covered|open |\n"
           "corrupt-params ADDR SKIP | dci ADDR F|dead45|dead44 | meter ADDR | refuse420 ADDR N |\n"
           "flame on|off | gain ADDR G[:G:G:G] | bg ADDR B | uvsum ADDR VALUE FROM TO |\n"
           "stream ADDR skip N|junk BYTES|trailer|stall MS|late MS|never|deaf|normal";
}

std::string runControlCommand(Line& line, const std::string& command, bool* ok) {
    std::string text = command;
    std::replace(text.begin(), text.end(), '=', ' ');
    std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream in(text);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    if (ok) *ok = true;
    auto fail = [&](const std::string& why) {
        if (ok) *ok = false;
        return "error: " + why;
    };
    if (w.empty()) return fail("empty command");
    unsigned long a = 0, b = 0;
    auto num = [&](size_t i, unsigned long max, unsigned long* out) {
        return i < w.size() && parseNumber(w[i], max, out);
    };
    const std::string& c = w[0];
    if (c == "drop" || c == "corrupt" || c == "corrupt-echo" || c == "wrong-address" || c == "short") {
        if (!num(1, 1'000'000, &a)) return fail(c + " needs a count");
        const int n = static_cast<int>(a);
        if (c == "drop") line.dropAnswers(n);
        else if (c == "corrupt") line.corruptAnswers(n);
        else if (c == "corrupt-echo") line.corruptEchoes(n);
        else if (c == "wrong-address") line.wrongAddressAnswers(n);
        else line.shortAnswers(n, num(2, 65535, &b) ? b : 0);
        return "ok";
    }
    if (c == "delay") {
        if (!num(1, 60'000, &a)) return fail("delay needs milliseconds");
        line.setDelay(static_cast<int>(a));
        return "ok";
    }
    if (c == "silent" || c == "talk") {
        const bool on = c == "silent";
        if (w.size() == 1) {
            line.setSilent(on);
            return "ok";
        }
        if (!num(1, 247, &a) || !line.setDetectorSilent(static_cast<uint8_t>(a), on))
            return fail("no detector " + w[1]);
        return "ok";
    }
    if (c == "status") {
        std::ostringstream out;
        out << "host " << line.hostBaud();
        for (uint8_t addr : line.addresses())
            line.withDetector(addr, [&](Detector& d, int64_t now) {
                const LiveValues v = d.live(now);
                out << " | " << unsigned{addr} << (d.uvir() ? " uvir " : " ir ") << d.baud() << " "
                    << v.mode << " " << unsigned{v.state} << " elev " << d.elevationLevel(now);
            });
        return out.str();
    }
    if (c == "flame") {
        if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return fail("flame on|off");
        for (uint8_t addr : line.addresses())
            line.withDetector(addr, [&](Detector& d, int64_t) { d.setFlame(w[1] == "on"); });
        return "ok";
    }
    if (c == "explode" || c == "fm-fire") return runFieldTestCommand(line, w, ok);
    if (!num(1, 247, &a)) return fail("unknown command or missing address: '" + command + "'");
    const uint8_t addr = static_cast<uint8_t>(a);
    bool found = false;
    if (c == "restart") found = line.restartDetector(addr);
    else if (c == "hang") found = line.hangDetector(addr, num(2, 3'600'000, &b) ? static_cast<int64_t>(b) : 0);
    else if (c == "alarm") found = line.withDetector(addr, [](Detector& d, int64_t now) { d.simulateAlarm(now); });
    else if (c == "bit") found = line.withDetector(addr, [](Detector& d, int64_t now) { d.startManualBit(now, 3); });
    else if (c == "refuse-setup" || c == "corrupt-setup") {
        const int n = num(2, 1'000'000, &b) ? static_cast<int>(b) : 1;
        found = c == "refuse-setup" ? line.refuseSetupWrites(addr, n) : line.corruptSetupReads(addr, n);
    } else if (c == "param") {
        // The stored record in hex, or bytes written over it from OFFSET.
        if (w.size() == 2) {
            std::string hex;
            found = line.withDetector(addr, [&](Detector& d, int64_t) { hex = hexText(d.params()); });
            if (found) return hex;
        } else {
            Bytes bytes;
            if (!num(2, 0xFFFF, &b) || !parseHex(w, 3, &bytes)) return fail("param ADDR [OFFSET HEX]");
            bool fits = false;
            found = line.withDetector(addr, [&](Detector& d, int64_t) { fits = d.patchParams(b, bytes); });
            if (found && !fits) return fail("the bytes run past the record");
        }
    } else if (c == "flash-silent") {
        unsigned long at = 0;
        if (w.size() < 3 || !parseNumber(w[2].rfind("0x", 0) == 0 ? w[2] : "0x" + w[2], 0xFFFFFFFFul, &at))
            return fail("flash-silent ADDR HEXADDR");
        found = line.withDetector(addr, [&](Detector& d, int64_t) { d.silenceFlashAddress(static_cast<uint32_t>(at)); });
    } else if (c == "message" || c == "version") {
        // The text as typed, separators included: everything after the address.
        size_t at = 0;
        for (int word = 0; word < 2; ++word) {
            at = text.find_first_not_of(" \t\r\n", at);
            at = text.find_first_of(" \t\r\n", at);
        }
        at = text.find_first_not_of(" \t\r\n", at);
        std::string message = at == std::string::npos ? "" : command.substr(at);
        while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) message.pop_back();
        if (message.empty()) return fail(c + " ADDR TEXT...");
        if (c == "version")
            found = line.withDetector(addr, [&](Detector& d, int64_t) { d.setVersionText(message); });
        else
            found = line.addMessage(addr, message);
    } else if (c == "fire") {
        if (w.size() > 3 || (w.size() == 3 && w[2] != "weak")) return fail("fire ADDR [weak]");
        found = line.startFire(addr, w.size() == 3);
    } else if (c == "set") {
        if (w.size() == 3 && w[2] == "auto") {
            found = line.releaseValues(addr);
        } else {
            // Volts, degrees Celsius, milliamperes; each within what its record field can carry.
            static const struct { const char* name; Detector::Held which; float lo, hi; } kHeld[] = {
                {"vin", Detector::Held::Vin, 0, 60}, {"temp", Detector::Held::Temp, -60, 150},
                {"ma", Detector::Held::Ma, 0, 25.5f}};
            const auto* h = std::find_if(std::begin(kHeld), std::end(kHeld),
                                         [&](const auto& k) { return w.size() == 4 && w[2] == k.name; });
            float value = 0;
            if (h == std::end(kHeld) || !parseFloat(w[3], &value) || value < h->lo || value > h->hi)
                return fail("set ADDR vin 0..60 | temp -60..150 | ma 0..25.5 | auto");
            found = line.holdValue(addr, h->which, value);
        }
    } else if (c == "fw") {
        // Faults of the bootloader's next upload.
        using Kind = Detector::FwFaults::Kind;
        static const std::pair<const char*, Kind> kBlockFaults[] = {{"lose", Kind::Lose}, {"restart", Kind::Restart},
            {"status", Kind::Status}, {"ask", Kind::Ask}, {"deaf", Kind::Deaf}};
        const std::string what = w.size() > 2 ? w[2] : "";
        const auto* k = std::find_if(std::begin(kBlockFaults), std::end(kBlockFaults),
                                     [&](const auto& f) { return what == f.first; });
        const bool takesValue = k != std::end(kBlockFaults) && k->second != Kind::Lose && k->second != Kind::Restart;
        int value = 0;
        unsigned long block = 0;
        bool good = false;
        if (k != std::end(kBlockFaults))
            good = w.size() == (takesValue ? 5u : 4u) && num(3, 255, &block) &&
                   (!takesValue || (k->second == Kind::Status ? parseStatus(w[4], &value)
                                                              : num(4, k->second == Kind::Ask ? 255 : 600'000, &b)));
        else if (what == "end") good = w.size() == 4 && (w[3] == "lose" || parseStatus(w[3], &value));
        else if (what == "params-ignore") good = w.size() == 4 && num(3, 1'000'000, &b);
        else good = what == "params-change" && w.size() == 3;
        if (!good) return fail("fw ADDR lose|restart K | status K CODE | ask K J | deaf K MS | end CODE|lose | params-change | params-ignore N");
        if (takesValue && k->second != Kind::Status) value = static_cast<int>(b);
        found = line.withDetector(addr, [&](Detector& d, int64_t) {
            auto& f = d.fwFaults();
            if (k != std::end(kBlockFaults)) f.block = static_cast<int>(block), f.kind = k->second, f.value = value;
            else if (what == "end" && w[3] == "lose") f.loseEnd = true;
            else if (what == "end") f.endStatus = value;
            else if (what == "params-ignore") d.ignoreParamWrites(static_cast<int>(b));
            else f.changeParams = true;
        });
    } else if (c == "bit-mode") {
        static const std::pair<const char*, Detector::BitMode> kModes[] = {
            {"normal", Detector::BitMode::Normal}, {"never", Detector::BitMode::Never},
            {"stuck", Detector::BitMode::Stuck}};
        const auto* m = std::find_if(std::begin(kModes), std::end(kModes),
                                     [&](const auto& k) { return w.size() == 3 && w[2] == k.first; });
        if (m == std::end(kModes)) return fail("bit-mode ADDR normal|never|stuck");
        found = line.setBitMode(addr, m->second);
    } else if (c == "corrupt-params") {
        if (!num(2, 1000, &b)) return fail("corrupt-params ADDR SKIP");
        found = line.withDetector(addr, [&](Detector& d, int64_t) { d.corruptParamRead(static_cast<int>(b)); });
    } else if (c == "lamp" || c == "lens") {
        const int l = w.size() == 3 ? lampNumber(w[2]) : -1;
        if (c == "lamp" && l < 0) return fail("lamp ADDR normal|weak|dead");
        if (c == "lens" && (w.size() != 3 || (w[2] != "covered" && w[2] != "open")))
            return fail("lens ADDR covered|open");
        found = line.withDetector(addr, [&](Detector& d, int64_t) {
            if (c == "lamp") d.setLamp(static_cast<Detector::Lamp>(l));
            else d.setLensCovered(w[2] == "covered");
        });
    } else if (c == "devinfo-corrupt") {
        // SKIP: answers that pass unaltered first (the read before a burn).
        unsigned long skip = 0;
        if (!num(2, 107, &b) || (w.size() > 3 && !num(3, 1000, &skip)))
            return fail("devinfo-corrupt ADDR OFFSET (0..107) [SKIP]");
        found = line.withDetector(addr,
                                  [&](Detector& d, int64_t) { d.corruptNextDevInfo(b, static_cast<unsigned>(skip)); });
    } else if (c == "dci" || c == "meter" || c == "refuse420") {
        std::string reply;
        found = line.withDetector(addr, [&](Detector& d, int64_t now) { reply = calibControl(d, w, now); });
        if (found && reply.rfind("error: ", 0) == 0) return fail(reply.substr(7));
        if (found && !reply.empty()) return reply;
    } else if (c == "gain" || c == "bg" || c == "uvsum") {
        const std::string why = autoCalibControl(line, addr, w, &found);
        if (!why.empty()) return fail(why);
    } else if (c == "stream") {
        const std::string what = w.size() > 2 ? w[2] : "";
        const bool counted = what == "skip" || what == "junk" || what == "stall" || what == "late";
        const bool flag = what == "trailer" || what == "never" || what == "deaf" || what == "normal";
        if ((!counted && !flag) || (counted && !num(3, 10'000'000, &b)) || (flag && w.size() != 3))
            return fail("stream ADDR skip N|junk BYTES|trailer|stall MS|late MS|never|deaf|normal");
        found = line.withDetector(addr, [&](Detector& d, int64_t) {
            Detector::StreamFaults& f = d.streamFaults();
            if (what == "skip") f.skip = static_cast<uint32_t>(b);
            else if (what == "junk") f.junk = b;
            else if (what == "stall") f.stallMs = static_cast<int64_t>(b);
            else if (what == "late") f.lateMs = static_cast<int64_t>(b);
            else if (what == "trailer") f.trailer = true;
            else if (what == "never") f.never = true;
            else if (what == "deaf") f.deaf = true;
            else f = {};
        });
    } else if (c == "fault") {
        if (!num(2, 95, &b) || w.size() < 4 || (w[3] != "on" && w[3] != "off"))
            return fail("fault ADDR BIT on|off");
        const bool on = w[3] == "on";
        found = line.withDetector(addr, [&](Detector& d, int64_t) { d.setFault(static_cast<unsigned>(b), on); });
    } else {
        return fail("unknown command '" + c + "'");
    }
    return found ? "ok" : fail("no detector " + w[1]);
}

}  // namespace wsim
