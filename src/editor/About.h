// The about screen: two narrow click areas at the panel's edges (CAbout) open a picture
// over the whole window with the version and the zoom in force drawn on it
// (CSplashScreenMyView), shown as the frame's modal view until the next left click.
//
// A showing's view is made when the screen opens and belongs to the frame while it is the
// modal view: closing the screen takes it back and releases it, and closing the window
// while it shows leaves it to the frame, which releases it with the window. Either way it
// is released exactly once.
#pragma once

#include "../gui/core/controls.h"
#include "vantel_version.h"

class CSplashScreenMyView;

// The version the about screen shows: the project's own, "v.1.1.0" for 1.1.0.
inline constexpr const char* kVersionText = "v." VANTEL_VERSION;

class CAbout : public VSTGUI::CSplashScreen {
public:
    CAbout(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, int32_t tag, VSTGUI::CBitmap* background,
           const VSTGUI::CRect& toDisplay, const VSTGUI::CPoint& offset, const VSTGUI::CPoint& versionOrigin);
    // A left click opens the screen (without notifying: opening it changes no parameter).
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    // The screen's own click: takes `view` off the frame and releases it.
    void closeSplash(CSplashScreenMyView* view);

private:
    VSTGUI::CPoint versionOrigin;
};

class CSplashScreenMyView : public VSTGUI::CControl {
public:
    // Text box of the version, from the view's top-left corner plus the origin; below it,
    // as high, the zoom in force ("Zoom 150 %"), and below that, in small grey letters,
    // how to change it.
    static constexpr VSTGUI::CCoord kVersionWidth = 100;
    static constexpr VSTGUI::CCoord kVersionHeight = 15;
    static constexpr VSTGUI::CCoord kHintWidth = 190;
    static constexpr VSTGUI::CCoord kHintHeight = 12;
    static constexpr const char* kZoomHint = "Right-click the panel to change it";

    CSplashScreenMyView(const VSTGUI::CRect& size, CAbout* about, const VSTGUI::CPoint& versionOrigin);
    CSplashScreenMyView(const CSplashScreenMyView& other) = default;
    bool isTypeOf(const char* name) const override;
    VSTGUI::CBaseObject* newCopy() const override { return new CSplashScreenMyView(*this); }
    void draw(VSTGUI::CDrawContext* context) override;
    // A left click closes the screen; any other button leaves it open.
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;

private:
    CAbout* about;
    VSTGUI::CPoint versionOrigin;
};
