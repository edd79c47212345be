// One libFuzzer entry for every reader of stored preset data; READER picks which.
//   0 setChunk         1 loadBlockImage    2 loadBankBlock        3 loadPresetBlock
//   4 loadMidiBlock    5 loadLegacyBank    6 loadLegacyPreset     7 loadLegacyMidiSettings
// Block readers take the first byte as the byte-order choice and the next 41 bytes as
// the header, as the files layer hands them over; the rest are the records.
#include <cstddef>
#include <cstdint>

#include "FuzzEffect.h"

#ifndef READER
#error "READER selects the reader under test"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Effect effect;
    presets::PresetCodec codec(effect);
    const std::vector<uint8_t> before = fuzz::snapshot(effect);
    bool taken = false;

#if READER == 0
    taken = effect.setChunk(const_cast<uint8_t*>(data), static_cast<VstInt32>(size)) == 0;
#elif READER == 1
    taken = codec.loadBlockImage(data, size, presets::kAnyKind, size > 0 && (data[size - 1] & 1));
#elif READER >= 2 && READER <= 4
    if (size < 1 + presets::kHeaderSize) return 0;
    const bool swap = data[0] & 1;
    const presets::BlockHeader header = presets::BlockHeader::read(data + 1, swap);
    const uint8_t* records = data + 1 + presets::kHeaderSize;
    const size_t bytes = size - 1 - presets::kHeaderSize;
#if READER == 2
    taken = codec.loadBankBlock(records, bytes, header, swap);
#elif READER == 3
    taken = codec.loadPresetBlock(records, bytes, header, swap);
#else
    taken = codec.loadMidiBlock(records, bytes, header, swap);
#endif
#else
    if (size < 1) return 0;
    const bool swap = data[0] & 1;
#if READER == 5
    taken = codec.loadLegacyBank(data + 1, size - 1, swap);
#elif READER == 6
    taken = codec.loadLegacyPreset(data + 1, size - 1, swap);
#else
    taken = codec.loadLegacyMidiSettings(data + 1, size - 1, swap);
#endif
#endif

    if (!taken) fuzz::check(fuzz::snapshot(effect) == before);
    fuzz::checkState(effect);
    return 0;
}
