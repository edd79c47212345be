// The program record and the store of 61 programs, as they travel in every block.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

namespace presets {

constexpr int kNumPrograms = 61;
constexpr int kNumParams = 60;
constexpr int kProgramNameSize = 24;

// One field of a stored program. Values are written by setParameter on whatever thread
// the host uses, the audio thread included (automation, MIDI controllers), while the
// chunk writer and getParameter read them elsewhere; names are rewritten by chunk loads
// while the editor lists them. So each field is a relaxed atomic: the same plain 1- or
// 4-byte load and store as before on x86-64, and well-defined. A reader may see some
// fields from before a change and some from after it, never a torn field. Copying a
// field copies its value, so whole records copy as before.
template <typename T>
class StoredField {
public:
    StoredField(T v = T()) noexcept : value_(v) {}
    StoredField(const StoredField& other) noexcept : value_(other.load()) {}
    StoredField& operator=(const StoredField& other) noexcept {
        store(other.load());
        return *this;
    }
    StoredField& operator=(T v) noexcept {
        store(v);
        return *this;
    }
    operator T() const noexcept { return load(); }
    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value_.store(v, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
};

// The record is serialised field by field, but tests and tools look at its bytes: the
// atomics must keep the plain layout.
static_assert(std::atomic<float>::is_always_lock_free && std::atomic<char>::is_always_lock_free,
              "stored fields are plain loads and stores");
static_assert(sizeof(StoredField<float>) == sizeof(float) && alignof(StoredField<float>) == alignof(float),
              "a stored value has the layout of a float");
static_assert(sizeof(StoredField<char>) == 1 && alignof(StoredField<char>) == 1, "a name byte is one byte");

struct ProgramRecord {
    StoredField<char> name[kProgramNameSize];  // NUL-padded; a 24-character name has no terminator
    StoredField<float> values[kNumParams];
};
static_assert(sizeof(ProgramRecord) == 264, "program record layout");

// The 24 name bytes as stored (no terminator added).
inline void readProgramName(const ProgramRecord& program, char* out) {
    for (int i = 0; i < kProgramNameSize; ++i) out[i] = program.name[i];
}

// The 24 name bytes of a block or legacy entry, taken as they are.
inline void writeProgramName(ProgramRecord& program, const void* bytes) {
    const char* text = static_cast<const char*>(bytes);
    for (int i = 0; i < kProgramNameSize; ++i) program.name[i] = text[i];
}

// The naming rule: at most 24 characters; a shorter name is stored with its terminator in
// a cleared field, a name of 24 or more as its first 24 characters without one.
inline void storeProgramName(ProgramRecord& program, const char* text) {
    char field[kProgramNameSize] = {};
    size_t n = 0;
    if (text)
        while (n < kProgramNameSize && text[n]) ++n;
    if (n) std::memcpy(field, text, n);
    writeProgramName(program, field);
}

}  // namespace presets
