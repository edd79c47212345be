// Embedded bitmap resources: PNG files linked into the plug-in and looked up by numeric id.
// The table itself is generated at build time (see the artwork library); tests may
// register replacement images for any id.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics.h"

namespace VSTGUI {

struct EmbeddedResource {
    int32_t id;
    const unsigned char* data;
    size_t size;
};

namespace resources {

// Installs the table of embedded PNGs (called once by whoever links the artwork).
void setTable(const EmbeddedResource* table, size_t count);
const EmbeddedResource* find(int32_t id);
// The same ids drawn at twice the width and height, which frames drawn above 100 % take
// their pixels from.
void setTable2x(const EmbeddedResource* table, size_t count);

// Test seam: an image used instead of the embedded PNG for `id`; null removes the override.
void setOverride(int32_t id, PlatformImagePtr image);
void clearOverrides();

// The image of `id` (or its override); null if missing. Each embedded PNG is decoded once
// per process, when first asked for, and shared from then on.
PlatformImagePtr load(int32_t id);
// The 2x image of `id`: null when the 2x table has none, or when a test replaced the id's
// image (which then stands for it at every scale).
PlatformImagePtr load2x(int32_t id);
// Lets go of every decoded image (for leak checkers, once nothing draws any more).
void releaseDecoded();

}  // namespace resources
}  // namespace VSTGUI
