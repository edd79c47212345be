// The preset block: the one serialised form of banks, presets, MIDI settings, host
// chunks, files and stored settings. A packed 41-byte header (so its fields sit at odd
// offsets) followed by typed records. Every multi-byte field is a 32-bit word in the
// writer's byte order; readers tell the order from the identifier and reverse each word
// as they read it. Nothing here reads a field through a cast pointer: words are copied
// out with memcpy, which is safe at any alignment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace presets {

// ---- kind bytes ----
constexpr uint8_t kKindBank = 0x38;          // '8'
constexpr uint8_t kKindPreset = 0x22;        // '"'
constexpr uint8_t kKindMidi = 0x0C;
constexpr uint8_t kKindLegacyBank = 0x37;    // '7'
constexpr uint8_t kKindLegacyPreset = 0x21;  // '!'
constexpr uint8_t kKindLegacyMidi = 0x0B;

// ---- header ----
constexpr size_t kHeaderSize = 41;
constexpr size_t kIdentifierAndKindSize = 5;  // what a legacy body follows
constexpr uint32_t kFormatVersion = 0x01010000;

// ---- records ----
constexpr size_t kRecordHeadSize = 12;  // type, length, program
constexpr int32_t kNameRecord = 0;
constexpr int32_t kValueRecord = 1;
constexpr int32_t kAssignmentRecord = 2;
constexpr int32_t kNameRecordLength = 156;
constexpr int32_t kValueRecordLength = 20;
// The shortest bodies a reader accepts for the fields it reads: the name sits at body
// offset 0 (24 bytes); a value record's index at 0 and its value at 12.
constexpr int32_t kNameBodyNeeded = 24;
constexpr int32_t kValueBodyNeeded = 16;
constexpr size_t kValueFieldOffset = 12;

// ---- host chunk ----
constexpr uint32_t kChunkVersion1 = 0x01000000;
constexpr uint32_t kChunkVersion2 = 0x02000000;
constexpr size_t kChunkHeadSize = 8;  // version, identifier
constexpr size_t kVersion1ImageSize = 16376;
constexpr size_t kVersion1EntriesOffset = 32;
constexpr size_t kVersion1AssignmentsOffset = 16136;  // 32 + 61 * 264

// ---- words ----
inline uint32_t reverseBytes(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

inline uint32_t readWord(const uint8_t* p, bool swap) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return swap ? reverseBytes(v) : v;
}
inline int32_t readInt(const uint8_t* p, bool swap) {
    uint32_t w = readWord(p, swap);
    int32_t v;
    std::memcpy(&v, &w, 4);
    return v;
}
inline float readFloat(const uint8_t* p, bool swap) {
    uint32_t w = readWord(p, swap);
    float v;
    std::memcpy(&v, &w, 4);
    return v;
}
inline void writeWord(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void writeInt(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }
inline void writeFloat(uint8_t* p, float v) { std::memcpy(p, &v, 4); }

// The byte order of stored data, told by its identifier word.
enum class ByteOrder { Native, Reversed, Foreign };

inline ByteOrder byteOrderOf(const uint8_t* identifierBytes, uint32_t identifier) {
    const uint32_t stored = readWord(identifierBytes, false);
    if (stored == identifier) return ByteOrder::Native;
    if (stored == reverseBytes(identifier)) return ByteOrder::Reversed;
    return ByteOrder::Foreign;
}

// A value that may be stored in a program: within 0..1 (NaN is not).
inline bool isNormalised(float v) { return v >= 0.0f && v <= 1.0f; }

// The block header in the reader's byte order. The identifier is kept as stored: it is
// compared, never converted.
struct BlockHeader {
    uint32_t identifier = 0;
    uint8_t kind = 0;
    uint32_t version = kFormatVersion;
    int32_t numParams = 0;
    int32_t recordCount = 0;
    int32_t currentProgram = 0;
    int32_t byteCount = 0;
    int32_t reserved[4] = {0, 0, 0, 0};

    // Reads the 41 bytes at p, reversing the nine words at offsets 5..40 when swap is set.
    static BlockHeader read(const uint8_t* p, bool swap) {
        BlockHeader h;
        h.identifier = readWord(p, false);
        h.kind = p[4];
        h.version = readWord(p + 5, swap);
        h.numParams = readInt(p + 9, swap);
        h.recordCount = readInt(p + 13, swap);
        h.currentProgram = readInt(p + 17, swap);
        h.byteCount = readInt(p + 21, swap);
        for (int i = 0; i < 4; ++i) h.reserved[i] = readInt(p + 25 + 4 * i, swap);
        return h;
    }

    // Writes the 41 bytes at p in native order.
    void write(uint8_t* p) const {
        writeWord(p, identifier);
        p[4] = kind;
        writeWord(p + 5, version);
        writeInt(p + 9, numParams);
        writeInt(p + 13, recordCount);
        writeInt(p + 17, currentProgram);
        writeInt(p + 21, byteCount);
        for (int i = 0; i < 4; ++i) writeInt(p + 25 + 4 * i, reserved[i]);
    }
};

// Offsets of header fields, for callers that patch a written header.
constexpr size_t kHeaderRecordCountOffset = 13;
constexpr size_t kHeaderByteCountOffset = 21;

}  // namespace presets
