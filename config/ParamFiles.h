#pragma once
// Parameter records in files: raw record dumps (".bin", the record bytes and
// nothing else, the kind told by the size) and patches (".upm": a mask record
// marking the fields to apply, its CRC, a whole values record, its CRC). A
// patch changes exactly the fields it marks; reserved bytes never change.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/records/ParamRecord.h"

constexpr size_t kIrPatchSize = 2 * kIrParamSize + 4, kUvirPatchSize = 2 * kUvirParamSize + 4;
constexpr size_t PatchSize(ParamKind k) { return 2 * ParamSize(k) + 4; }
// The editor writes its patch under this name in the working folder.
inline const char* PatchFileName(ParamKind k) { return k == ParamKind::Ir ? "IR3.upm" : "UVIR.upm"; }

// One element of a field: arrays are marked element by element.
struct ParamElement {
    const ParamField* field = nullptr;
    size_t index = 0;
    bool operator==(const ParamElement&) const = default;
};
// Every element of a kind's table, in record order.
std::vector<ParamElement> ParamElements(ParamKind kind);
// Its profile key: the field's name, "name_i" for an array element.
std::string ElementName(const ParamElement& e);
// nullopt when `kind` has no element of that name.
std::optional<ParamElement> FindElement(ParamKind kind, const std::string& name);

struct Patch {
    std::vector<uint8_t> mask;  // the record's size: 0xFF over each marked element, 0 elsewhere
    ParamRecord values;
    bool crcGood = true;        // both blocks' CRCs held (a decoded file)
    ParamKind kind() const { return values.kind(); }
};

// A mask marking `marked` (elements of `kind`'s table).
std::vector<uint8_t> PatchMask(ParamKind kind, std::span<const ParamElement> marked);
// The elements a mask marks: an integer element when any of its bytes is not
// zero, a float or double element when its bytes read as that type are not
// 0.0 (a not-a-number counts as marked).
std::vector<ParamElement> MarkedElements(ParamKind kind, std::span<const uint8_t> mask);
// `current` with every marked element taken whole from `values`; every other
// byte, reserved ones included, as it was. Kinds and sizes must match.
ParamRecord ApplyPatch(const ParamRecord& current, const Patch& patch);

// The file's bytes: mask, CRC, values, CRC, each CRC stored high byte first so
// that the CRC run over a block and its two bytes gives 0.
std::vector<uint8_t> EncodePatch(const Patch& patch);
// nullopt unless exactly 1972 or 452 bytes; crcGood tells whether both CRCs held.
std::optional<Patch> DecodePatch(std::span<const uint8_t> bytes);

// A file read for one of its places; `error` is the message (caption "Error")
// when nothing usable came out, empty otherwise.
template <class T>
struct FileRead {
    std::optional<T> value;
    std::string error;
};
// A raw parameter record: exactly 984 or 224 bytes.
FileRead<ParamRecord> ReadParamBin(const std::string& path);
// "param.bin" in any case, the part after the last folder separator.
bool IsParamBinName(const std::string& path);
// The editor's read: an "upm" extension (any case), exactly 1972 or 452
// bytes. CRCs are not refused here: the caller asks before going on with a
// failing one (PatchCrcMessage).
FileRead<Patch> ReadPatchForEdit(const std::string& path);
std::string PatchCrcMessage(const std::string& path);
// Parameters Update's read: exactly the size of `kind`'s patch (of either
// kind when none is given) and both CRCs good.
FileRead<Patch> ReadPatchForUpdate(const std::string& path, std::optional<ParamKind> kind = std::nullopt);
