// Embedded bitmap resources: PNG files linked into the plug-in and looked up by numeric id.
// The table itself is generated at build time (see the artwork library); tests may
// register replacement images for any id.
#pragma once

#include <cstddef>
#include <cstdint>

typedef struct _cairo_surface cairo_surface_t;

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

// Test seam: an image used instead of the embedded PNG for `id` (the registry takes a
// reference); null removes the override.
void setOverride(int32_t id, cairo_surface_t* image);
void clearOverrides();

// Decodes the PNG of `id` (or returns the override) as a new reference; null if missing.
cairo_surface_t* load(int32_t id);

}  // namespace resources
}  // namespace VSTGUI
