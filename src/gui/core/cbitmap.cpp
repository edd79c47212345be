#include "cbitmap.h"

#include <cassert>
#include <cstring>

#include "cdrawcontext.h"
#include "resources.h"

namespace VSTGUI {

bool CBaseObject::isTypeOf(const char* name) const { return std::strcmp(name, "CBaseObject") == 0; }

CBitmap::CBitmap(int32_t id) : CBitmap(resources::load(id)) {
    resourceId = id;
    assert(image && "bitmap resource missing");
}

CBitmap::CBitmap(PlatformImagePtr img) : image(std::move(img)) {
    if (image) {
        width = image->getWidth();
        height = image->getHeight();
    }
}

CBitmap::~CBitmap() = default;

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) {
    if (context) context->drawBitmap(this, dest, offset, alpha);
}

bool CBitmap::isTypeOf(const char* name) const {
    return std::strcmp(name, "CBitmap") == 0 || CBaseObject::isTypeOf(name);
}

}  // namespace VSTGUI
