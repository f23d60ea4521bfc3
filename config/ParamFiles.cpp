#include "config/ParamFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "util/WholeFile.h"
#include "wire/Crc16.h"

namespace {

size_t elementOffset(const ParamElement& e) { return e.field->offset + e.index * ParamTypeSize(e.field->type); }

bool marks(const ParamElement& e, std::span<const uint8_t> mask) {
    const size_t at = elementOffset(e), width = ParamTypeSize(e.field->type);
    if (at + width > mask.size()) return false;
    const uint8_t* p = mask.data() + at;
    // A float's mask is read as a float: a negative zero marks nothing, a
    // not-a-number marks the field.
    if (e.field->type == ParamType::F32) {
        float f;
        std::memcpy(&f, p, sizeof f);
        return !(f == 0.0f);
    }
    if (e.field->type == ParamType::F64) {
        double d;
        std::memcpy(&d, p, sizeof d);
        return !(d == 0.0);
    }
    return std::any_of(p, p + width, [](uint8_t b) { return b != 0; });
}

void appendBlock(std::vector<uint8_t>& out, std::span<const uint8_t> block) {
    out.insert(out.end(), block.begin(), block.end());
    const uint16_t c = crc16(block.data(), block.size());  // wire order: c >> 8 first
    out.push_back(static_cast<uint8_t>(c >> 8));
    out.push_back(static_cast<uint8_t>(c));
}

bool blockGood(std::span<const uint8_t> blockWithCrc) { return crc16(blockWithCrc.data(), blockWithCrc.size()) == 0; }

std::string withPath(const char* format, const std::string& path) {
    std::vector<char> text(std::strlen(format) + path.size() + 1);
    std::snprintf(text.data(), text.size(), format, path.c_str());
    return text.data();
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool canOpen(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

// One byte past the largest patch, so that a longer file reads as the wrong size.
constexpr size_t kReadLimit = kIrPatchSize + 1;

}  // namespace

std::vector<ParamElement> ParamElements(ParamKind kind) {
    std::vector<ParamElement> all;
    for (const ParamField& f : ParamFields(kind))
        for (size_t i = 0; i < f.count; ++i) all.push_back({&f, i});
    return all;
}

std::string ElementName(const ParamElement& e) {
    return e.field->count > 1 ? e.field->name + ("_" + std::to_string(e.index)) : std::string(e.field->name);
}

std::optional<ParamElement> FindElement(ParamKind kind, const std::string& name) {
    for (const ParamElement& e : ParamElements(kind))
        if (ElementName(e) == name) return e;
    return std::nullopt;
}

std::vector<uint8_t> PatchMask(ParamKind kind, std::span<const ParamElement> marked) {
    std::vector<uint8_t> mask(ParamSize(kind), 0);
    for (const ParamElement& e : marked) {
        const size_t at = elementOffset(e), width = ParamTypeSize(e.field->type);
        if (at + width <= mask.size()) std::fill_n(mask.begin() + static_cast<std::ptrdiff_t>(at), width, 0xFF);
    }
    return mask;
}

std::vector<ParamElement> MarkedElements(ParamKind kind, std::span<const uint8_t> mask) {
    std::vector<ParamElement> marked;
    for (const ParamElement& e : ParamElements(kind))
        if (marks(e, mask)) marked.push_back(e);
    return marked;
}

ParamRecord ApplyPatch(const ParamRecord& current, const Patch& patch) {
    if (patch.kind() != current.kind() || patch.mask.size() != current.bytes().size()) return current;
    std::vector<uint8_t> bytes(current.bytes().begin(), current.bytes().end());
    const auto values = patch.values.bytes();
    for (const ParamElement& e : MarkedElements(current.kind(), patch.mask)) {
        const size_t at = elementOffset(e), width = ParamTypeSize(e.field->type);
        std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(at), width,
                    bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return *ParamRecord::FromBytes(bytes);
}

std::vector<uint8_t> EncodePatch(const Patch& patch) {
    std::vector<uint8_t> out;
    out.reserve(PatchSize(patch.kind()));
    appendBlock(out, patch.mask);
    appendBlock(out, patch.values.bytes());
    return out;
}

std::optional<Patch> DecodePatch(std::span<const uint8_t> bytes) {
    for (ParamKind kind : {ParamKind::Ir, ParamKind::Uvir}) {
        if (bytes.size() != PatchSize(kind)) continue;
        const size_t n = ParamSize(kind);
        const auto maskBlock = bytes.first(n + 2), valuesBlock = bytes.subspan(n + 2);
        Patch p{{maskBlock.begin(), maskBlock.begin() + static_cast<std::ptrdiff_t>(n)},
                *ParamRecord::FromBytes(valuesBlock.first(n)),
                blockGood(maskBlock) && blockGood(valuesBlock)};
        return p;
    }
    return std::nullopt;
}

bool IsParamBinName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return lower(slash == std::string::npos ? path : path.substr(slash + 1)) == "param.bin";
}

FileRead<ParamRecord> ReadParamBin(const std::string& path) {
    const auto bytes = ReadWholeFile(path, kIrParamSize + 1);
    // ReadWholeFile refuses a longer file as it refuses a missing one.
    if (!bytes && !canOpen(path)) return {std::nullopt, withPath("Failed opening file \"%s\"", path)};
    if (!bytes) return {std::nullopt, withPath("File \"%s\" is neither an IR3 nor a UVIR parameter bin-file...", path)};
    if (auto r = ParamRecord::FromBytes(*bytes)) return {std::move(r), {}};
    return {std::nullopt, withPath("File \"%s\" is neither an IR3 nor a UVIR parameter bin-file...", path)};
}

std::string PatchCrcMessage(const std::string& path) { return withPath("File \"%s\" has incorrect CRC16...", path); }

FileRead<Patch> ReadPatchForEdit(const std::string& path) {
    const size_t slash = path.find_last_of("/\\"), dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || lower(path.substr(dot + 1)) != "upm")
        return {std::nullopt, withPath("Bad file name \"%s\"", path)};
    const auto bytes = ReadWholeFile(path, kReadLimit);
    std::optional<Patch> patch = bytes ? DecodePatch(*bytes) : std::nullopt;
    if (patch) return {std::move(patch), {}};
    if (!bytes && !canOpen(path)) return {std::nullopt, withPath("Failed opening file \"%s\"", path)};
    return {std::nullopt, withPath("File \"%s\" is neither an IR3 nor a UVIR parameter upm-file...", path)};
}

FileRead<Patch> ReadPatchForUpdate(const std::string& path, std::optional<ParamKind> kind) {
    if (!canOpen(path)) return {std::nullopt, withPath("Failed opening \"%s\"...", path)};
    const auto bytes = ReadWholeFile(path, kReadLimit);
    auto patch = bytes ? DecodePatch(*bytes) : std::nullopt;
    if (!patch || (kind && patch->kind() != *kind))
        return {std::nullopt, withPath("File \"%s\" has incorrect size...", path)};
    if (!patch->crcGood) return {std::nullopt, PatchCrcMessage(path)};
    return {std::move(patch), {}};
}
