#include "resources.h"

#include <cairo.h>

#include <cstring>
#include <map>

namespace VSTGUI {
namespace resources {
namespace {

const EmbeddedResource* gTable = nullptr;
size_t gCount = 0;

std::map<int32_t, cairo_surface_t*>& overrides() {
    static std::map<int32_t, cairo_surface_t*> map;
    return map;
}

struct PngReader {
    const unsigned char* data;
    size_t size;
    size_t pos;
};

cairo_status_t readChunk(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->size - reader->pos < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->pos, length);
    reader->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void setTable(const EmbeddedResource* table, size_t count) {
    gTable = table;
    gCount = count;
}

const EmbeddedResource* find(int32_t id) {
    for (size_t i = 0; i < gCount; ++i)
        if (gTable[i].id == id) return &gTable[i];
    return nullptr;
}

void setOverride(int32_t id, cairo_surface_t* image) {
    auto& map = overrides();
    auto it = map.find(id);
    if (it != map.end()) {
        cairo_surface_destroy(it->second);
        map.erase(it);
    }
    if (image) map[id] = cairo_surface_reference(image);
}

void clearOverrides() {
    for (auto& entry : overrides()) cairo_surface_destroy(entry.second);
    overrides().clear();
}

cairo_surface_t* load(int32_t id) {
    auto it = overrides().find(id);
    if (it != overrides().end()) return cairo_surface_reference(it->second);
    const EmbeddedResource* res = find(id);
    if (!res) return nullptr;
    PngReader reader{res->data, res->size, 0};
    cairo_surface_t* image = cairo_image_surface_create_from_png_stream(readChunk, &reader);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    return image;
}

}  // namespace resources
}  // namespace VSTGUI
