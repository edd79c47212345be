// Basic types of the editor toolkit: geometry, colours, mouse-button state, results and
// the reference-counted base object. The class names follow the toolkit API that the
// editor code is written against; the implementation is our own.
//
// Threads: open, idle, close and every event callback run on the host's editor thread.
// CControl::setValue may be called from any thread and does nothing but an atomic store
// (the next idle notices the change and repaints). Nothing else here is thread-safe. The
// toolkit starts no thread, never calls XInitThreads and never uses the host's Display*.
#pragma once

#include <cmath>
#include <cstdint>

#include "../../vst/aeffectx.h"  // VstKeyCode, virtual keys, modifiers

namespace VSTGUI {

using CCoord = double;
using UTF8StringPtr = const char*;

struct CPoint {
    CCoord x = 0;
    CCoord y = 0;
    CPoint() = default;
    CPoint(CCoord x, CCoord y) : x(x), y(y) {}
    CPoint& offset(CCoord dx, CCoord dy) {
        x += dx;
        y += dy;
        return *this;
    }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

struct CRect {
    CCoord left = 0, top = 0, right = 0, bottom = 0;
    CRect() = default;
    CRect(CCoord l, CCoord t, CCoord r, CCoord b) : left(l), top(t), right(r), bottom(b) {}
    CRect(const CPoint& origin, const CPoint& size)
        : left(origin.x), top(origin.y), right(origin.x + size.x), bottom(origin.y + size.y) {}

    CCoord getWidth() const { return right - left; }
    CCoord getHeight() const { return bottom - top; }
    CCoord width() const { return right - left; }
    CCoord height() const { return bottom - top; }
    CPoint getTopLeft() const { return {left, top}; }
    CPoint getCenter() const { return {(left + right) / 2, (top + bottom) / 2}; }
    bool isEmpty() const { return right <= left || bottom <= top; }

    CRect& setWidth(CCoord w) {
        right = left + w;
        return *this;
    }
    CRect& setHeight(CCoord h) {
        bottom = top + h;
        return *this;
    }
    CRect& offset(CCoord dx, CCoord dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    CRect& inset(CCoord dx, CCoord dy) {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
        return *this;
    }
    // Half-open: the right and bottom edges are outside, as with GDI rectangles.
    bool pointInside(const CPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool rectOverlap(const CRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    // Intersection with `o` (empty when they do not overlap).
    CRect& bound(const CRect& o) {
        left = std::fmax(left, o.left);
        top = std::fmax(top, o.top);
        right = std::fmin(right, o.right);
        bottom = std::fmin(bottom, o.bottom);
        if (right < left) right = left;
        if (bottom < top) bottom = top;
        return *this;
    }
    CRect& unite(const CRect& o) {
        if (isEmpty()) return *this = o;
        if (o.isEmpty()) return *this;
        left = std::fmin(left, o.left);
        top = std::fmin(top, o.top);
        right = std::fmax(right, o.right);
        bottom = std::fmax(bottom, o.bottom);
        return *this;
    }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CRect& o) const { return !(*this == o); }
};

struct CColor {
    uint8_t red = 0, green = 0, blue = 0, alpha = 255;
    bool operator==(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    bool operator!=(const CColor& o) const { return !(*this == o); }
};

inline constexpr CColor MakeCColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) { return CColor{r, g, b, a}; }

inline constexpr CColor kTransparentCColor{255, 255, 255, 0};
inline constexpr CColor kBlackCColor{0, 0, 0, 255};
inline constexpr CColor kWhiteCColor{255, 255, 255, 255};
inline constexpr CColor kGreyCColor{127, 127, 127, 255};
inline constexpr CColor kRedCColor{255, 0, 0, 255};
inline constexpr CColor kGreenCColor{0, 255, 0, 255};
inline constexpr CColor kBlueCColor{0, 0, 255, 255};
inline constexpr CColor kYellowCColor{255, 255, 0, 255};

// Mouse buttons and modifiers, as bits of a button state.
enum CButton : int32_t {
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    kControl = 1 << 5,
    kAlt = 1 << 6,
    kApple = 1 << 7,
    kButton4 = 1 << 8,
    kButton5 = 1 << 9,
    kDoubleClick = 1 << 10,
};
constexpr int32_t kDefaultValueModifier = kControl;  // Ctrl-click restores a control's default
constexpr int32_t kZoomModifier = kShift;            // Shift drags finely

class CButtonState {
public:
    CButtonState(int32_t state = 0) : state(state) {}
    operator int32_t() const { return state; }
    bool isLeftButton() const { return (state & kLButton) != 0; }
    bool isRightButton() const { return (state & kRButton) != 0; }
    bool isDoubleClick() const { return (state & kDoubleClick) != 0; }
    int32_t getButtonState() const { return state & (kLButton | kMButton | kRButton | kButton4 | kButton5); }
    int32_t getModifierState() const { return state & (kShift | kControl | kAlt | kApple); }
    bool operator==(const CButtonState& o) const { return state == o.state; }
    bool operator!=(const CButtonState& o) const { return state != o.state; }

private:
    int32_t state;
};

enum CMouseEventResult : int32_t {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled = 1,
    kMouseEventNotHandled = 2,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents = 3,
};

enum CHoriTxtAlign : int32_t { kLeftText = 0, kCenterText, kRightText };

enum CMouseWheelAxis : int32_t { kMouseWheelAxisX = 0, kMouseWheelAxisY };

enum { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };

// Reference counting. A new object holds one reference; forget() deletes it at zero.
class CBaseObject {
public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) : nbReference(1) {}
    CBaseObject& operator=(const CBaseObject&) { return *this; }
    virtual ~CBaseObject() = default;

    virtual void remember() { ++nbReference; }
    virtual void forget() {
        if (--nbReference == 0) delete this;
    }
    int32_t getNbReference() const { return nbReference; }

    virtual bool isTypeOf(const char* name) const;
    virtual CBaseObject* newCopy() const { return nullptr; }

private:
    int32_t nbReference = 1;
};

// Keeps an object alive for a scope (an event handler may release the view it runs in).
class CBaseObjectGuard {
public:
    explicit CBaseObjectGuard(CBaseObject* obj) : obj(obj) {
        if (obj) obj->remember();
    }
    ~CBaseObjectGuard() {
        if (obj) obj->forget();
    }
    CBaseObjectGuard(const CBaseObjectGuard&) = delete;
    CBaseObjectGuard& operator=(const CBaseObjectGuard&) = delete;

private:
    CBaseObject* obj;
};

}  // namespace VSTGUI
