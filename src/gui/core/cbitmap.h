// A bitmap from the embedded resources, decoded once, shared by reference count.
#pragma once

#include "graphics.h"
#include "vstguibase.h"

namespace VSTGUI {

class CDrawContext;

class CBitmap : public CBaseObject {
public:
    // A missing id gives a 0 x 0 bitmap that draws nothing.
    explicit CBitmap(int32_t resourceId);
    // Wraps an image the renderer made.
    explicit CBitmap(PlatformImagePtr image);
    ~CBitmap() override;

    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    int32_t getResourceId() const { return resourceId; }
    bool isLoaded() const { return image != nullptr; }
    const PlatformImagePtr& getPlatformImage() const { return image; }
    // The image to draw at `scale` and how many of its pixels make a logical pixel: above
    // 100 % the id's 2x image where there is one (exactly twice the size), else the image.
    const PlatformImagePtr& imageFor(CCoord scale, CCoord& imageScale) const;

    // Copies the dest-sized region that starts at `offset` in the bitmap to `dest`.
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(0, 0), float alpha = 1.f);

    bool isTypeOf(const char* name) const override;

private:
    int32_t resourceId = -1;
    PlatformImagePtr image;
    mutable PlatformImagePtr image2x;  // looked up when first drawn above 100 %
    mutable bool looked2x = false;
    CCoord width = 0;
    CCoord height = 0;
};

}  // namespace VSTGUI
