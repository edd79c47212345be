#include "PresetCodec.h"

#include <algorithm>

#include "../CPresetSystemEffect.h"
#include "../ProgramStore.h"

namespace presets {

namespace {

constexpr size_t kNameRecordSize = kRecordHeadSize + kNameRecordLength;    // 168
constexpr size_t kValueRecordSize = kRecordHeadSize + kValueRecordLength;  // 32

void writeRecordHead(uint8_t* p, int32_t type, int32_t length, int32_t program) {
    writeInt(p, type);
    writeInt(p + 4, length);
    writeInt(p + 8, program);
}

// Name record: head, the 24 name bytes as stored, then zeros up to 168 bytes.
uint8_t* writeNameRecord(uint8_t* p, int32_t index, const ProgramRecord& program) {
    std::memset(p, 0, kNameRecordSize);
    writeRecordHead(p, kNameRecord, kNameRecordLength, index);
    readProgramName(program, reinterpret_cast<char*>(p + kRecordHeadSize));
    return p + kNameRecordSize;
}

// Value and assignment records: head, index, two zero words, the value, a zero word.
uint8_t* writeValueRecord(uint8_t* p, int32_t type, int32_t program, int32_t index, float value) {
    std::memset(p, 0, kValueRecordSize);
    writeRecordHead(p, type, kValueRecordLength, program);
    writeInt(p + kRecordHeadSize, index);
    writeFloat(p + kRecordHeadSize + kValueFieldOffset, value);
    return p + kValueRecordSize;
}

int32_t recordIndex(const RecordView& r, bool swap) { return readInt(r.body, swap); }
float recordValue(const RecordView& r, bool swap) { return readFloat(r.body + kValueFieldOffset, swap); }

bool isProgramIndex(int32_t p) { return p >= 0 && p < kNumPrograms; }
bool isParameterIndex(int32_t p) { return p >= 0 && p < kNumParams; }

void nameText(const ProgramRecord& program, char (&text)[kProgramNameSize + 1]) {
    readProgramName(program, text);
    text[kProgramNameSize] = 0;
}

}  // namespace

bool walkRecords(const uint8_t* records, size_t size, int32_t count, bool swap, std::vector<RecordView>& out) {
    out.clear();
    if (count < 0) return false;
    if (count > 0 && !records) return false;
    // Every record takes at least its head: a count the bytes cannot hold is refused
    // before anything is reserved for it.
    if (static_cast<size_t>(count) > size / kRecordHeadSize) return false;
    out.reserve(static_cast<size_t>(count));
    size_t pos = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (size - pos < kRecordHeadSize) return false;
        const uint8_t* head = records + pos;
        RecordView r{readInt(head, swap), readInt(head + 4, swap), readInt(head + 8, swap), head + kRecordHeadSize};
        if (r.length < 0) return false;
        if (static_cast<size_t>(r.length) > size - pos - kRecordHeadSize) return false;
        int32_t needed = 0;
        if (r.type == kNameRecord) needed = kNameBodyNeeded;
        if (r.type == kValueRecord || r.type == kAssignmentRecord) needed = kValueBodyNeeded;
        if (r.length < needed) return false;
        out.push_back(r);
        pos += kRecordHeadSize + static_cast<size_t>(r.length);
    }
    return true;
}

// ---------------------------------------------------------------- writers

int PresetCodec::includedParameterCount() const {
    int n = 0;
    for (int p = 0; p < kNumParams; ++p)
        if (!effect_.skipOnSave(p)) ++n;
    return n;
}

std::vector<uint8_t> PresetCodec::buildBankBlock() const {
    const ProgramRecord* store = effect_.programs();
    if (!store) return {};
    const int included = includedParameterCount();
    const size_t bytes = kNumPrograms * (kNameRecordSize + included * kValueRecordSize);

    std::vector<uint8_t> block(kHeaderSize + bytes);
    BlockHeader header;
    header.identifier = static_cast<uint32_t>(effect_.getPresetID());
    header.kind = kKindBank;
    header.numParams = kNumParams;
    header.recordCount = kNumPrograms * (1 + included);
    header.currentProgram = effect_.getCurrentProgramIndex();
    header.byteCount = static_cast<int32_t>(bytes);
    header.write(block.data());

    uint8_t* p = block.data() + kHeaderSize;
    for (int32_t program = 0; program < kNumPrograms; ++program) {
        p = writeNameRecord(p, program, store[program]);
        for (int32_t i = 0; i < kNumParams; ++i)
            if (!effect_.skipOnSave(i)) p = writeValueRecord(p, kValueRecord, program, i, store[program].values[i]);
    }
    return block;
}

std::vector<uint8_t> PresetCodec::buildPresetBlock() const {
    const ProgramRecord* store = effect_.programs();
    if (!store) return {};
    int32_t current = effect_.getCurrentProgramIndex();
    if (!isProgramIndex(current)) current = 0;
    const ProgramRecord& program = store[current];
    const int included = includedParameterCount();
    const size_t bytes = kNameRecordSize + included * kValueRecordSize;

    std::vector<uint8_t> block(kHeaderSize + bytes);
    BlockHeader header;
    header.identifier = static_cast<uint32_t>(effect_.getPresetID());
    header.kind = kKindPreset;
    header.numParams = kNumParams;
    header.recordCount = 1 + included;
    header.currentProgram = 0;
    header.byteCount = static_cast<int32_t>(bytes);
    header.write(block.data());

    uint8_t* p = writeNameRecord(block.data() + kHeaderSize, 0, program);
    for (int32_t i = 0; i < kNumParams; ++i)
        if (!effect_.skipOnSave(i)) p = writeValueRecord(p, kValueRecord, 0, i, program.values[i]);
    return block;
}

std::vector<uint8_t> PresetCodec::buildMidiBlock() const {
    const int included = includedParameterCount();
    const size_t bytes = included * kValueRecordSize;

    std::vector<uint8_t> block(kHeaderSize + bytes);
    BlockHeader header;
    header.identifier = static_cast<uint32_t>(effect_.getPresetID());
    header.kind = kKindMidi;
    header.numParams = kNumParams;
    header.recordCount = included;
    header.currentProgram = 0;
    header.byteCount = static_cast<int32_t>(bytes);
    header.write(block.data());

    uint8_t* p = block.data() + kHeaderSize;
    for (int32_t i = 0; i < kNumParams; ++i)
        if (!effect_.skipOnSave(i))
            p = writeValueRecord(p, kAssignmentRecord, 0, i, effect_.getParameter(kNumParams + i));
    return block;
}

std::vector<uint8_t> PresetCodec::buildChunk() const {
    std::vector<uint8_t> bank = buildBankBlock();
    if (bank.empty()) return {};
    const int included = includedParameterCount();

    std::vector<uint8_t> chunk(kChunkHeadSize + bank.size() + included * kValueRecordSize);
    writeWord(chunk.data(), kChunkVersion2);
    writeWord(chunk.data() + 4, static_cast<uint32_t>(effect_.getPresetID()));
    std::memcpy(chunk.data() + kChunkHeadSize, bank.data(), bank.size());

    uint8_t* p = chunk.data() + kChunkHeadSize + bank.size();
    for (int32_t i = 0; i < kNumParams; ++i)
        if (!effect_.skipOnSave(i))
            p = writeValueRecord(p, kAssignmentRecord, 0, i, effect_.getParameter(kNumParams + i));

    // Readers walk by count: the appended records count, the byte count stays the bank's.
    uint8_t* countField = chunk.data() + kChunkHeadSize + kHeaderRecordCountOffset;
    writeInt(countField, readInt(countField, false) + included);
    return chunk;
}

// ---------------------------------------------------------------- applying records

std::vector<ProgramRecord> PresetCodec::prepareBank(const std::vector<RecordView>& records, bool swap,
                                                    bool& ok) const {
    ok = false;
    const ProgramRecord* store = effect_.programs();
    if (!store) return {};
    std::vector<ProgramRecord> work(store, store + kNumPrograms);
    for (const RecordView& r : records) {
        if (!isProgramIndex(r.program)) continue;
        ProgramRecord& program = work[static_cast<size_t>(r.program)];
        if (r.type == kNameRecord) {
            program = effect_.templateProgram();
            writeProgramName(program, r.body);
        } else if (r.type == kValueRecord) {
            const int32_t index = recordIndex(r, swap);
            if (!isParameterIndex(index)) continue;
            const float value = recordValue(r, swap);
            if (!isNormalised(value)) return {};
            program.values[index] = value;
        }
    }
    ok = true;
    return work;
}

void PresetCodec::commitBank(const std::vector<ProgramRecord>& programs, const bool* renamed, int32_t currentField) {
    const auto hold = effect_.holdState();
    ProgramRecord* store = effect_.programs();
    std::copy(programs.begin(), programs.end(), store);
    PresetEditorHooks* hooks = effect_.presetEditor();
    if (hooks)
        for (int p = 0; p < kNumPrograms; ++p)
            if (renamed[p]) hooks->programRenamed(p);
    const int32_t selected = isProgramIndex(currentField) ? currentField : 0;
    if (hooks) hooks->programShown(selected);
    effect_.selectProgram(selected);
}

void PresetCodec::applyAssignments(const std::vector<RecordView>& records, bool swap) {
    for (const RecordView& r : records) {
        if (r.type != kAssignmentRecord) continue;
        const int32_t index = recordIndex(r, swap);
        const float value = recordValue(r, swap);
        if (isParameterIndex(index) && isNormalised(value)) effect_.setParameter(kNumParams + index, value);
    }
}

bool PresetCodec::commitPreset(const ProgramRecord& program) {
    ProgramRecord* store = effect_.programs();
    if (!store) return false;
    const auto hold = effect_.holdState();
    int32_t current = effect_.getCurrentProgramIndex();
    if (!isProgramIndex(current)) current = 0;
    store[current] = program;
    char name[kProgramNameSize + 1];
    nameText(program, name);
    if (PresetEditorHooks* hooks = effect_.presetEditor()) hooks->showProgramName(name);
    effect_.renameCurrentProgram(name);
    effect_.selectProgram(current);
    return true;
}

// ---------------------------------------------------------------- block readers

bool PresetCodec::loadBankBlock(const uint8_t* records, size_t size, const BlockHeader& header, bool swap) {
    std::vector<RecordView> list;
    if (!walkRecords(records, size, header.recordCount, swap, list)) return false;
    bool ok = false;
    std::vector<ProgramRecord> work = prepareBank(list, swap, ok);
    if (!ok) return false;
    bool renamed[kNumPrograms] = {};
    for (const RecordView& r : list)
        if (r.type == kNameRecord && isProgramIndex(r.program)) renamed[r.program] = true;
    commitBank(work, renamed, header.currentProgram);
    return true;
}

bool PresetCodec::loadPresetBlock(const uint8_t* records, size_t size, const BlockHeader& header, bool swap) {
    std::vector<RecordView> list;
    if (!walkRecords(records, size, header.recordCount, swap, list)) return false;
    ProgramRecord program = effect_.templateProgram();
    for (const RecordView& r : list) {
        if (r.type == kNameRecord) {
            writeProgramName(program, r.body);
        } else if (r.type == kValueRecord) {
            const int32_t index = recordIndex(r, swap);
            if (!isParameterIndex(index)) continue;
            const float value = recordValue(r, swap);
            if (!isNormalised(value)) return false;
            program.values[index] = value;
        }
    }
    return commitPreset(program);
}

bool PresetCodec::loadMidiBlock(const uint8_t* records, size_t size, const BlockHeader& header, bool swap) {
    std::vector<RecordView> list;
    if (!walkRecords(records, size, header.recordCount, swap, list)) return false;
    applyAssignments(list, swap);
    return true;
}

// ---------------------------------------------------------------- legacy readers

bool PresetCodec::loadLegacyBank(const uint8_t* body, size_t size, bool swap) {
    const ProgramRecord* store = effect_.programs();
    if (!store || !body) return false;
    const size_t entrySize = size / kNumPrograms;
    if (entrySize < kProgramNameSize) return false;  // cannot hold 61 names
    const size_t m = (entrySize - kProgramNameSize) / 4;
    const size_t stride = kProgramNameSize + 4 * m;
    const size_t count = std::min<size_t>(m, kNumParams);

    std::vector<ProgramRecord> work(kNumPrograms, effect_.templateProgram());
    for (int p = 0; p < kNumPrograms; ++p) {
        const uint8_t* entry = body + static_cast<size_t>(p) * stride;
        writeProgramName(work[p], entry);
        for (size_t k = 0; k < count; ++k) {
            if (effect_.skipOnLegacyLoad(static_cast<VstInt32>(k))) continue;
            const float value = readFloat(entry + kProgramNameSize + 4 * k, swap);
            if (!isNormalised(value)) return false;
            work[p].values[k] = value;
        }
    }
    bool renamed[kNumPrograms];
    std::fill(renamed, renamed + kNumPrograms, true);
    commitBank(work, renamed, 0);
    return true;
}

bool PresetCodec::loadLegacyPreset(const uint8_t* body, size_t size, bool swap) {
    if (!body || size < kProgramNameSize) return false;
    const size_t count = std::min<size_t>((size - kProgramNameSize) / 4, kNumParams);
    ProgramRecord program = effect_.templateProgram();
    writeProgramName(program, body);
    for (size_t k = 0; k < count; ++k) {
        if (effect_.skipOnLegacyLoad(static_cast<VstInt32>(k))) continue;
        const float value = readFloat(body + kProgramNameSize + 4 * k, swap);
        if (!isNormalised(value)) return false;
        program.values[k] = value;
    }
    return commitPreset(program);
}

bool PresetCodec::loadLegacyMidiSettings(const uint8_t* body, size_t size, bool swap) {
    if (!body && size > 0) return false;
    const size_t count = std::min<size_t>(size / 4, kNumParams);
    // Like every other reader: a bad value refuses the whole body, so a damaged file
    // never leaves half of its assignments behind.
    for (size_t k = 0; k < count; ++k)
        if (!effect_.skipOnLegacyLoad(static_cast<VstInt32>(k)) && !isNormalised(readFloat(body + 4 * k, swap)))
            return false;
    for (size_t k = 0; k < count; ++k) {
        if (effect_.skipOnLegacyLoad(static_cast<VstInt32>(k))) continue;
        effect_.setParameter(kNumParams + static_cast<VstInt32>(k), readFloat(body + 4 * k, swap));
    }
    return true;
}

// ---------------------------------------------------------------- whole images

bool PresetCodec::loadBlockImage(const uint8_t* data, size_t size, unsigned allowedKinds, bool reversedOption) {
    if (!data || size < kIdentifierAndKindSize) return false;
    const ByteOrder order = byteOrderOf(data, static_cast<uint32_t>(effect_.getPresetID()));
    if (order == ByteOrder::Foreign) return false;
    const bool swap = (order == ByteOrder::Reversed) != reversedOption;
    const uint8_t kind = data[4];
    const uint8_t* body = data + kIdentifierAndKindSize;
    const size_t bodySize = size - kIdentifierAndKindSize;

    switch (kind) {
        case kKindBank:
        case kKindPreset:
        case kKindMidi: {
            const unsigned bit = kind == kKindBank ? kAcceptBank : kind == kKindPreset ? kAcceptPreset : kAcceptMidi;
            if (!(allowedKinds & bit) || size < kHeaderSize) return false;
            const BlockHeader header = BlockHeader::read(data, swap);
            if (header.byteCount < 0 || static_cast<size_t>(header.byteCount) > size - kHeaderSize) return false;
            const uint8_t* records = data + kHeaderSize;
            const size_t recordBytes = static_cast<size_t>(header.byteCount);
            if (kind == kKindBank) return loadBankBlock(records, recordBytes, header, swap);
            if (kind == kKindPreset) return loadPresetBlock(records, recordBytes, header, swap);
            return loadMidiBlock(records, recordBytes, header, swap);
        }
        case kKindLegacyBank:
            return (allowedKinds & kAcceptLegacyBank) && loadLegacyBank(body, bodySize, swap);
        case kKindLegacyPreset:
            return (allowedKinds & kAcceptLegacyPreset) && loadLegacyPreset(body, bodySize, swap);
        case kKindLegacyMidi:
            return (allowedKinds & kAcceptLegacyMidi) && loadLegacyMidiSettings(body, bodySize, swap);
        default: return false;
    }
}

// ---------------------------------------------------------------- host chunk

bool PresetCodec::loadChunk(const uint8_t* data, size_t size) {
    if (!data || size < kChunkHeadSize || !effect_.programs()) return false;
    const ByteOrder order = byteOrderOf(data + 4, static_cast<uint32_t>(effect_.getPresetID()));
    if (order == ByteOrder::Foreign) return false;
    const bool swap = order == ByteOrder::Reversed;
    const uint32_t version = readWord(data, swap);

    if (version == kChunkVersion1) return loadVersion1Chunk(data, size, swap);
    if (version != kChunkVersion2) return false;

    // The record list runs to the end of the chunk: the header's byte count leaves out
    // the appended assignment records, so the walk is bounded by the chunk size.
    if (size < kChunkHeadSize + kHeaderSize) return false;
    const BlockHeader header = BlockHeader::read(data + kChunkHeadSize, swap);
    const uint8_t* records = data + kChunkHeadSize + kHeaderSize;
    std::vector<RecordView> list;
    if (!walkRecords(records, size - kChunkHeadSize - kHeaderSize, header.recordCount, swap, list)) return false;
    bool ok = false;
    std::vector<ProgramRecord> work = prepareBank(list, swap, ok);
    if (!ok) return false;

    // Assignments first, then the programs, so the program selected last sees them.
    applyAssignments(list, swap);
    bool renamed[kNumPrograms] = {};
    for (const RecordView& r : list)
        if (r.type == kNameRecord && isProgramIndex(r.program)) renamed[r.program] = true;
    commitBank(work, renamed, header.currentProgram);
    return true;
}

bool PresetCodec::loadVersion1Chunk(const uint8_t* data, size_t size, bool swap) {
    if (size < kVersion1ImageSize) return false;
    const int32_t n = readInt(data + 8, swap);
    const int32_t currentField = readInt(data + 12, swap);
    if (n < 1) return false;
    // Entry stride from the chunk size, as the writer of this version laid the entries out.
    const size_t perEntry = (size - kVersion1EntriesOffset) / static_cast<size_t>(n);
    if (perEntry < kProgramNameSize) return false;
    const size_t m = (perEntry - kProgramNameSize) / 4;
    const size_t stride = kProgramNameSize + 4 * m;
    const size_t entries = std::min<size_t>(static_cast<size_t>(n), kNumPrograms);
    const size_t count = std::min<size_t>(m, kNumParams);
    // Every entry read must lie within the image.
    const size_t lastEnd = kVersion1EntriesOffset + (entries - 1) * stride + kProgramNameSize + 4 * count;
    if (lastEnd > kVersion1ImageSize) return false;

    const ProgramRecord* store = effect_.programs();
    std::vector<ProgramRecord> work(store, store + kNumPrograms);
    bool renamed[kNumPrograms] = {};
    for (size_t j = 0; j < entries; ++j) {
        const uint8_t* entry = data + kVersion1EntriesOffset + j * stride;
        work[j] = effect_.templateProgram();
        writeProgramName(work[j], entry);
        renamed[j] = true;
        for (size_t k = 0; k < count; ++k) {
            if (effect_.skipOnLegacyLoad(static_cast<VstInt32>(k))) continue;
            const float value = readFloat(entry + kProgramNameSize + 4 * k, swap);
            if (!isNormalised(value)) return false;
            work[j].values[k] = value;
        }
    }

    for (size_t k = 0; k < count; ++k) {
        const float value = readFloat(data + kVersion1AssignmentsOffset + 4 * k, swap);
        if (isNormalised(value)) effect_.setParameter(kNumParams + static_cast<VstInt32>(k), value);
    }
    commitBank(work, renamed, currentField);
    return true;
}

}  // namespace presets
