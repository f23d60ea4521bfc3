#include "config/ParamProfile.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <utility>

#include "util/Profile.h"

namespace {

// One profile key: an element of a field, or a nibble of the version byte.
struct Key {
    std::string name;
    const ParamField* field;
    size_t index;
    int nibble;  // -1 whole value, 0 low (vHW_cpu), 1 high (vHW_io)
};

std::vector<Key> keysOf(ParamKind kind) {
    std::vector<Key> keys;
    for (const ParamField& f : ParamFields(kind)) {
        if (f.type == ParamType::HwVersion) {
            keys.push_back({"vHW_cpu", &f, 0, 0});
            keys.push_back({"vHW_io", &f, 0, 1});
        } else if (f.count == 1) {
            keys.push_back({f.name, &f, 0, -1});
        } else {
            for (size_t i = 0; i < f.count; ++i) keys.push_back({f.name + ("_" + std::to_string(i)), &f, i, -1});
        }
    }
    return keys;
}

std::string fixed(double v, int decimals, size_t width) {
    char buf[512];  // a double's largest fixed form has 309 digits before the point
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr;
    std::string text(buf, end);
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string keyText(const Key& key, const ParamRecord& record) {
    const double v = record.value(*key.field, key.index);
    if (key.nibble < 0) return ParamValueText(*key.field, v);
    return std::to_string((static_cast<unsigned>(v) >> (4 * key.nibble)) & 0x0F);
}

std::vector<std::pair<std::string, std::string>> keyValues(const ParamRecord& record) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Key& key : keysOf(record.kind())) out.emplace_back(key.name, keyText(key, record));
    return out;
}

// Stores a key's value; false (nothing changed) when its field cannot hold it.
bool take(const Key& key, double v, ParamRecord& record) {
    if (key.nibble < 0) return record.setValue(*key.field, key.index, v);
    if (v < 0 || v > 15) return false;
    const unsigned shift = 4 * key.nibble;
    const unsigned others = static_cast<unsigned>(record.value(*key.field)) & ~(0x0Fu << shift);
    return record.setValue(*key.field, 0, others | static_cast<unsigned>(v) << shift);
}

bool isFloat(ParamType t) { return t == ParamType::F32 || t == ParamType::F64; }

}  // namespace

std::string ParamValueText(const ParamField& field, double value) {
    if (isFloat(field.type)) return field.count > 1 ? fixed(value, 2, 5) : fixed(value, 6, 0);
    return std::to_string(static_cast<uint64_t>(value));
}

std::optional<double> ParseParamValue(const ParamField& field, std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '+' || (negative && !isFloat(field.type)))) text.remove_prefix(1);
    const char* end = text.data() + text.size();
    if (isFloat(field.type)) {
        double v = 0;
        const auto [ptr, ec] = std::from_chars(text.data(), end, v);
        if (ptr == text.data() || ec != std::errc{}) return std::nullopt;
        return v;
    }
    uint64_t v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ptr == text.data()) return std::nullopt;
    const double magnitude = ec == std::errc::result_out_of_range ? 1e20 : static_cast<double>(v);
    return negative ? -magnitude : magnitude;
}

bool WriteParamSection(const std::string& ini, const std::string& section, const ParamRecord& record) {
    return ProfileWriteStrings(ini, section, keyValues(record));
}

std::vector<ParamRefusal> LoadParamSection(const std::string& ini, const std::string& section, ParamRecord& record) {
    const std::vector<Key> keys = keysOf(record.kind());
    std::vector<std::string> names;
    for (const Key& key : keys) names.push_back(key.name);
    const std::vector<std::string> texts = ProfileGetStrings(ini, section, names, "N/A");
    std::vector<ParamRefusal> refused;
    for (size_t k = 0; k < keys.size(); ++k) {
        const Key& key = keys[k];
        if (texts[k].starts_with("N/A")) continue;
        const auto v = ParseParamValue(*key.field, texts[k]);
        if (v && !take(key, *v, record) && !isFloat(key.field->type))
            refused.push_back({key.field, key.name, key.nibble < 0 ? ParamTypeMax(key.field->type) : 15});
    }
    return refused;
}

std::string ParamSectionText(const std::string& section, const ParamRecord& record) {
    std::string text = "[" + section + "]\n";
    for (const auto& [key, value] : keyValues(record)) text += key + "=" + value + "\n";
    return text;
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
    namespace fs = std::filesystem;
    const auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::error_code ec;
    if (fs::exists(fs::path(folder) / name, ec)) return (fs::path(folder) / name).string();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (lower(it->path().filename().string()) == lower(name)) return it->path().string();
    return {};
}
