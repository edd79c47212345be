// Files applied to, and made from, a host chunk. A small in-process effect of the preset
// system alone (no engine, no editor) takes the chunk, the file operation runs on it, and
// its chunk comes back: a host that drives the plug-in only through its interface (the
// command-line tool) gets the plug-in's state with effGetChunk, and gives the result back
// with effSetChunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PresetFiles.h"

namespace presets {

// The chunk of a freshly built effect: the factory bank, program 0, no assignments.
std::vector<uint8_t> initialChunk();

// Loads the file at `path` (as loadFileFromPath) into the state `chunk` holds and returns
// the resulting chunk in `out`. BadChunk when `chunk` is refused; otherwise the file's
// result (a refused file leaves `out` equal to the state of `chunk`, except that a bank
// file with our identifier makes program 0 current).
FileResult applyFileToChunk(const std::vector<uint8_t>& chunk, const std::string& path, FileKind kind, bool reversed,
                            std::vector<uint8_t>& out);

// The file of `kind` for the state `chunk` holds (the current program for a preset).
FileResult fileFromChunk(const std::vector<uint8_t>& chunk, FileKind kind, std::vector<uint8_t>& file);

// fileFromChunk, saved to `path` as saveFileToPath does.
FileResult saveFileFromChunk(const std::vector<uint8_t>& chunk, FileKind kind, const std::string& path);

}  // namespace presets
