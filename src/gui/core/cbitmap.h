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

    // Copies the dest-sized region that starts at `offset` in the bitmap to `dest`.
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(0, 0), float alpha = 1.f);

    bool isTypeOf(const char* name) const override;

private:
    int32_t resourceId = -1;
    PlatformImagePtr image;
    CCoord width = 0;
    CCoord height = 0;
};

}  // namespace VSTGUI
