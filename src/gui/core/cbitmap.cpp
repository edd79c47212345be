#include "cbitmap.h"

#include <cairo.h>

#include <cassert>
#include <cstring>

#include "cdrawcontext.h"
#include "resources.h"

namespace VSTGUI {

bool CBaseObject::isTypeOf(const char* name) const { return std::strcmp(name, "CBaseObject") == 0; }

CBitmap::CBitmap(int32_t id) : resourceId(id) {
    image = resources::load(id);
    assert(image && "bitmap resource missing");
    if (image) {
        width = cairo_image_surface_get_width(image);
        height = cairo_image_surface_get_height(image);
    }
}

CBitmap::CBitmap(cairo_surface_t* img) {
    if (img && cairo_surface_get_type(img) == CAIRO_SURFACE_TYPE_IMAGE) {
        image = cairo_surface_reference(img);
        width = cairo_image_surface_get_width(image);
        height = cairo_image_surface_get_height(image);
    }
}

CBitmap::~CBitmap() {
    if (image) cairo_surface_destroy(image);
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) {
    if (context) context->drawBitmap(this, dest, offset, alpha);
}

bool CBitmap::isTypeOf(const char* name) const {
    return std::strcmp(name, "CBitmap") == 0 || CBaseObject::isTypeOf(name);
}

}  // namespace VSTGUI
