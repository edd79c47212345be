// Writers and readers of preset blocks and host chunks, bound to one effect. The editor
// object's block operations, the host chunk, files and stored settings all come here.
//
// Every reader takes the bytes it may look at as (pointer, size), first walks them once
// to check every count, record head and length against what is actually there, checks
// every value it would store, and only then changes anything. A reader that refuses
// returns false and has changed nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "BlockFormat.h"

class CPresetSystemEffect;

namespace presets {

struct ProgramRecord;

// One record of a walked list; body points at the `length` bytes after the record head.
struct RecordView {
    int32_t type;
    int32_t length;
    int32_t program;
    const uint8_t* body;
};

// Walks `count` records through [records, records + size). Fails on a negative count,
// a record head or body that does not fit, a negative length, or a name or value record
// too short for the fields a reader takes from it. Records of other types may have any
// length that fits.
bool walkRecords(const uint8_t* records, size_t size, int32_t count, bool swap, std::vector<RecordView>& out);

// Kinds a caller accepts in loadBlockImage.
enum BlockKindBits : unsigned {
    kAcceptBank = 1u << 0,
    kAcceptPreset = 1u << 1,
    kAcceptMidi = 1u << 2,
    kAcceptLegacyBank = 1u << 3,
    kAcceptLegacyPreset = 1u << 4,
    kAcceptLegacyMidi = 1u << 5,
    // What a bank, preset or MIDI-settings file (or stored value) may hold.
    kBankKinds = kAcceptBank | kAcceptLegacyBank,
    kPresetKinds = kAcceptPreset | kAcceptLegacyPreset,
    kMidiKinds = kAcceptMidi | kAcceptLegacyMidi,
    kAnyKind = kBankKinds | kPresetKinds | kMidiKinds,
};

class PresetCodec {
public:
    explicit PresetCodec(CPresetSystemEffect& effect) : effect_(effect) {}

    // ---- writers: the whole block, identifier and header included, in native order ----
    std::vector<uint8_t> buildBankBlock() const;    // all 61 programs
    std::vector<uint8_t> buildPresetBlock() const;  // the current program
    std::vector<uint8_t> buildMidiBlock() const;    // the 60 controller assignments

    // ---- block readers ----
    // `records` are the bytes after the 41-byte header, `header` is already in the
    // reader's byte order, `swap` reverses every 32-bit field of the records.
    //
    // Bank: every named program is first reset to the template; a value outside 0..1
    // refuses the whole block. Selects the header's current program (0 when out of range).
    bool loadBankBlock(const uint8_t* records, size_t size, const BlockHeader& header, bool swap);
    // Preset: into the current program, which starts from the template.
    bool loadPresetBlock(const uint8_t* records, size_t size, const BlockHeader& header, bool swap);
    // MIDI: the assignment records of any block; values outside 0..1 are skipped.
    bool loadMidiBlock(const uint8_t* records, size_t size, const BlockHeader& header, bool swap);

    // ---- legacy readers: `body` is what follows the identifier and kind byte ----
    // 61 entries of a name and m values, m = (size / 61 - 24) / 4.
    bool loadLegacyBank(const uint8_t* body, size_t size, bool swap);
    // A name and (size - 24) / 4 values into the current program.
    bool loadLegacyPreset(const uint8_t* body, size_t size, bool swap);
    // size / 4 assignment values; reading ends at the first value outside 0..1.
    bool loadLegacyMidiSettings(const uint8_t* body, size_t size, bool swap);

    // A whole image as a file or stored value holds it: identifier, kind byte, then the
    // header and records or a legacy body. Tells the byte order from the identifier (the
    // reversed option inverts that decision for the fields after it), refuses kinds not in
    // `allowedKinds`, and refuses a header whose byte count is negative or larger than the
    // bytes present; the records walked are the header's byte count.
    bool loadBlockImage(const uint8_t* data, size_t size, unsigned allowedKinds, bool reversedOption = false);

    // ---- host chunk ----
    // Version 2: 8-byte head, the bank block, and one assignment record per parameter
    // appended to its record list (the header's byte count keeps the bank-only value).
    std::vector<uint8_t> buildChunk() const;
    // Versions 1 and 2, either byte order. Version 2 is checked whole (records against the
    // chunk size, every program value) before assignments and then programs are applied.
    bool loadChunk(const uint8_t* data, size_t size);

private:
    // A copy of the store with the bank records applied; ok is false when a value is out of range.
    std::vector<ProgramRecord> prepareBank(const std::vector<RecordView>& records, bool swap, bool& ok) const;
    void commitBank(const std::vector<ProgramRecord>& programs, const bool* renamed, int32_t currentField);
    void applyAssignments(const std::vector<RecordView>& records, bool swap);
    bool commitPreset(const ProgramRecord& program);
    bool loadVersion1Chunk(const uint8_t* data, size_t size, bool swap);
    int includedParameterCount() const;

    CPresetSystemEffect& effect_;
};

}  // namespace presets
