#include "resources.h"

#include <map>
#include <mutex>

namespace VSTGUI {
namespace resources {
namespace {

const EmbeddedResource* gTable = nullptr;
size_t gCount = 0;

// Editors of several instances may open on different threads.
std::mutex& guard() {
    static std::mutex mutex;
    return mutex;
}

std::map<int32_t, PlatformImagePtr>& overrides() {
    static std::map<int32_t, PlatformImagePtr> map;
    return map;
}

std::map<const unsigned char*, PlatformImagePtr>& decoded() {
    static std::map<const unsigned char*, PlatformImagePtr> map;
    return map;
}

}  // namespace

void setTable(const EmbeddedResource* table, size_t count) {
    std::lock_guard<std::mutex> lock(guard());
    gTable = table;
    gCount = count;
}

const EmbeddedResource* find(int32_t id) {
    for (size_t i = 0; i < gCount; ++i)
        if (gTable[i].id == id) return &gTable[i];
    return nullptr;
}

void setOverride(int32_t id, PlatformImagePtr image) {
    std::lock_guard<std::mutex> lock(guard());
    if (image)
        overrides()[id] = std::move(image);
    else
        overrides().erase(id);
}

void clearOverrides() {
    std::lock_guard<std::mutex> lock(guard());
    overrides().clear();
}

void releaseDecoded() {
    std::lock_guard<std::mutex> lock(guard());
    decoded().clear();
}

PlatformImagePtr load(int32_t id) {
    std::lock_guard<std::mutex> lock(guard());
    auto it = overrides().find(id);
    if (it != overrides().end()) return it->second;
    const EmbeddedResource* res = find(id);
    if (!res) return nullptr;
    // Keyed by the embedded bytes, which live as long as the process.
    PlatformImagePtr& image = decoded()[res->data];
    if (!image) image = platformGraphics().decodePng(res->data, res->size);
    return image;
}

}  // namespace resources
}  // namespace VSTGUI
