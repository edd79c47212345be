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

const PlatformImagePtr& CBitmap::imageFor(CCoord scale, CCoord& imageScale) const {
    imageScale = 1;
    if (scale <= 1 || resourceId < 0) return image;
    if (!looked2x) {
        looked2x = true;
        image2x = resources::load2x(resourceId);
        if (image2x && (image2x->getWidth() != 2 * width || image2x->getHeight() != 2 * height)) image2x = nullptr;
    }
    if (!image2x) return image;
    imageScale = 2;
    return image2x;
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) {
    if (context) context->drawBitmap(this, dest, offset, alpha);
}

bool CBitmap::isTypeOf(const char* name) const {
    return std::strcmp(name, "CBitmap") == 0 || CBaseObject::isTypeOf(name);
}

}  // namespace VSTGUI
