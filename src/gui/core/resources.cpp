#include "resources.h"

#include <map>
#include <mutex>

namespace VSTGUI {
namespace resources {
namespace {

struct Table {
    const EmbeddedResource* rows = nullptr;
    size_t count = 0;
    const EmbeddedResource* find(int32_t id) const {
        for (size_t i = 0; i < count; ++i)
            if (rows[i].id == id) return &rows[i];
        return nullptr;
    }
};
Table gTable, gTable2x;

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
    gTable = Table{table, count};
}

void setTable2x(const EmbeddedResource* table, size_t count) {
    std::lock_guard<std::mutex> lock(guard());
    gTable2x = Table{table, count};
}

const EmbeddedResource* find(int32_t id) { return gTable.find(id); }

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

namespace {
// Keyed by the embedded bytes, which live as long as the process.
PlatformImagePtr decodedImage(const EmbeddedResource* res) {
    if (!res) return nullptr;
    PlatformImagePtr& image = decoded()[res->data];
    if (!image) image = platformGraphics().decodePng(res->data, res->size);
    return image;
}
}  // namespace

PlatformImagePtr load(int32_t id) {
    std::lock_guard<std::mutex> lock(guard());
    auto it = overrides().find(id);
    if (it != overrides().end()) return it->second;
    return decodedImage(gTable.find(id));
}

PlatformImagePtr load2x(int32_t id) {
    std::lock_guard<std::mutex> lock(guard());
    if (overrides().count(id)) return nullptr;
    return decodedImage(gTable2x.find(id));
}

}  // namespace resources
}  // namespace VSTGUI
