// The editor's zoom: which factor a window opens at (the stored choice, the host's
// announcement, the desktop's scale), the window's size at each, input at its scaled
// place, and the background menu that changes it while the host makes room or refuses.
#include <cmath>
#include <vector>

#include "EditorFixture.h"
#include "Zoom.h"
#include "../../src/presets/settings/PresetCommands.h"
#if !defined(_WIN32)
#include "x11/DesktopScale.h"
#endif

using namespace guitest;

namespace {

struct SizeRequest {
    VstInt32 width, height;
};
std::vector<SizeRequest> gSizeRequests;
bool gHostMakesRoom = true;

VstIntPtr sizingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterSizeWindow) {
        gSizeRequests.push_back({index, static_cast<VstInt32>(value)});
        return gHostMakesRoom ? 1 : 0;
    }
    return 0;
}

// (The user's settings, stored choice included, start empty.)
class Zoom : public ::testing::Test, protected EditorFixture {
protected:
    void SetUp() override {
        gSizeRequests.clear();
        gHostMakesRoom = true;
        makeEffect(sizingHost);
    }
    void TearDown() override { closeEffect(); }
    ERect rect() {
        ERect* r = nullptr;
        fx->dispatcher(fx, effEditGetRect, 0, 0, &r, 0);
        return r ? *r : ERect{};
    }
    OffscreenFrame* open() {
        if (!openEditor()) return nullptr;
        idle();
        return screen;
    }
    void reopen() {
        fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0);
        screen = open();
    }
    VstIntPtr announce(float scale) {
        return fx->dispatcher(fx, effVendorSpecific, QEL::kHostScale, QEL::kHostScaleValue, nullptr, scale);
    }
    // The background menu's entry `index`, from a right click at the window's (x, y).
    void chooseFromMenu(CCoord x, CCoord y, int index) {
        const CCoord s = editor->getFrame()->getScaleFactor();
        screen->click(x, y, 3);
        CView* popup = editor->getFrame()->getModalView();
        ASSERT_NE(popup, nullptr) << "no menu at " << x << ", " << y;
        const CRect r = popup->getViewSize();
        screen->click((r.left + 10) * s,
                      (r.top + COptionMenu::kBorder + (index + 0.5) * COptionMenu::kRowHeight) * s);
        idle();
    }

};

}  // namespace

TEST(ZoomFactors, ScalesBecomeOfferedFactorsAndWindowSizes) {
    struct {
        double scale;
        int percent;
    } nearest[] = {{1, 100},  {0.5, 100}, {1.1, 100},  {1.125, 125}, {1.3, 125}, {1.4, 150}, {1.5, 150},
                   {1.8, 175}, {2, 200},  {3, 200},    {0, 0},       {-1, 0},    {NAN, 0},   {INFINITY, 0}};
    for (auto c : nearest) EXPECT_EQ(zoom::nearest(c.scale), c.percent) << c.scale;

    struct {
        int percent, width, height;
    } sizes[] = {{100, 942, 171}, {125, 1178, 214}, {150, 1413, 257}, {175, 1649, 299}, {200, 1884, 342}};
    for (auto c : sizes) {
        EXPECT_EQ(zoom::windowSize(c.percent).width, c.width) << c.percent;
        EXPECT_EQ(zoom::windowSize(c.percent).height, c.height) << c.percent;
    }

    // The stored choice, then the host's scale, then the desktop's; junk in the store is no choice.
    struct {
        int stored;
        double host, system;
        int percent;
    } starts[] = {{0, 0, 0, 100},      {0, 0, 2, 200},   {0, 1.5, 2, 150},   {175, 1.5, 2, 175},
                  {100, 2, 2, 100},    {99, 0, 1.25, 125}, {201, 0, 0, 100}, {0, 0, 1.0, 100}};
    for (auto c : starts)
        EXPECT_EQ(zoom::startFactor({c.stored, c.host, c.system}), c.percent)
            << c.stored << " " << c.host << " " << c.system;
}

#if !defined(_WIN32)
TEST(ZoomFactors, DesktopScaleFromEnvironmentOrXftDpi) {
    struct {
        const char *gdk, *qt, *resources;
        double scale;
    } cases[] = {
        {nullptr, nullptr, "", 1},
        {nullptr, nullptr, "Xft.dpi:\t192\nXft.antialias:\t1\n", 2},
        {nullptr, nullptr, "*Xft.dpi: 144\n", 1.5},
        {nullptr, nullptr, "Xft.dpi: 96\nXft.dpi: 120\n", 1.25},  // the last one counts
        {nullptr, nullptr, "Xft.dpi: many\nXcursor.size: 48\n", 1},
        {"2", nullptr, "Xft.dpi: 96\n", 2},
        {"1.5", nullptr, "", 1},  // GTK takes the whole part
        {"0", "1.75", "Xft.dpi: 96\n", 1.75},
        {"", "", "Xft.dpi: 192\n", 2},
    };
    for (auto c : cases)
        EXPECT_DOUBLE_EQ(x11::desktopScale(c.gdk, c.qt, c.resources), c.scale)
            << (c.gdk ? c.gdk : "-") << " " << (c.qt ? c.qt : "-") << " " << c.resources;
}
#endif

TEST_F(Zoom, OpensAtTheStoredChoiceElseTheHostsElseTheDesktops) {
    OffscreenFrame::setDefaultSystemScale(2);  // Xft.dpi 192
    EXPECT_EQ(rect().right, 1884);             // asked before any window is open
    screen = open();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(editor->zoomFactor(), 200);
    EXPECT_EQ(rect().right, 1884);
    EXPECT_EQ(rect().bottom, 342);
    EXPECT_EQ(editor->getFrame()->getDeviceSize(), CPoint(1884, 342));
    // The window moves to a monitor of another DPI (Windows): followed, nothing being chosen.
    screen->changeSystemScale(1.5);
    EXPECT_EQ(editor->zoomFactor(), 150);
    ASSERT_EQ(gSizeRequests.size(), 1u);
    EXPECT_EQ(gSizeRequests[0].width, 1413);
    gSizeRequests.clear();

    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0);
    OffscreenFrame::setDefaultSystemScale(2);
    EXPECT_EQ(announce(1.5f), 1);  // the host's word wins over the desktop's
    EXPECT_EQ(rect().right, 1413);
    reopen();
    EXPECT_EQ(editor->zoomFactor(), 150);
    EXPECT_EQ(announce(1.25f), 1);  // while open: followed at the next idle
    idle();
    EXPECT_EQ(editor->zoomFactor(), 125);
    ASSERT_EQ(gSizeRequests.size(), 1u);
    EXPECT_EQ(gSizeRequests[0].width, 1178);
    EXPECT_EQ(gSizeRequests[0].height, 214);
    EXPECT_EQ(announce(0.f), 0);
    EXPECT_EQ(fx->dispatcher(fx, effVendorSpecific, QEL::kHostScale, 0, nullptr, 2.f), 0);

    // The user's choice wins over both, at once and for every later open.
    ASSERT_TRUE(editor->chooseZoom(175));
    EXPECT_EQ(editor->commands()->zoom(), 175);
    EXPECT_EQ(announce(2.f), 1);
    screen->changeSystemScale(1);
    idle();
    EXPECT_EQ(editor->zoomFactor(), 175);
    reopen();
    EXPECT_EQ(editor->zoomFactor(), 175);
}

TEST_F(Zoom, InputLandsOnTheControlsAtTheirScaledPlaces) {
    editor->commands()->setZoom(200);
    screen = open();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(editor->getFrame()->getScaleFactor(), 2);
    fx->dispatcher(fx, effSetEditKnobMode, 0, kLinearMode, nullptr, 0);

    // FltOn (784..808, 102..122 in the panel) at twice its place.
    const float before = effect->getParameter(42);
    screen->click(796 * 2, 112 * 2);
    EXPECT_NE(effect->getParameter(42), before);

    // Input dragged 100 window pixels up moves as 50 panel pixels do at 100 %: a quarter
    // of its 200-pixel range.
    effect->setParameter(0, 0.5f);
    idle();
    screen->drag(400 * 2, 46 * 2, 400 * 2, 46 * 2 - 100);
    EXPECT_NEAR(effect->getParameter(0), 0.75f, 1e-6f);
}

TEST_F(Zoom, BackgroundMenuResizesWhenTheHostMakesRoomAndStoresTheChoiceEither) {
    editor->commands()->setZoom(200);
    screen = open();
    ASSERT_NE(screen, nullptr);
    // A right click on a control is the control's: no menu.
    screen->click(796 * 2, 112 * 2, 3);
    EXPECT_EQ(editor->getFrame()->getModalView(), nullptr);
    screen->click(1, 1);  // (whatever the control opened)
    idle();

    chooseFromMenu(600 * 2, 80 * 2, 2);  // 150 %
    ASSERT_EQ(gSizeRequests.size(), 1u);
    EXPECT_EQ(gSizeRequests[0].width, 1413);
    EXPECT_EQ(gSizeRequests[0].height, 257);
    EXPECT_EQ(editor->zoomFactor(), 150);
    EXPECT_EQ(screen->size, CPoint(1413, 257));
    EXPECT_EQ(rect().right, 1413);
    EXPECT_EQ(rect().bottom, 257);
    EXPECT_EQ(editor->commands()->zoom(), 150);

    // The menu marks the factor in force; a host that refuses leaves the window as it was.
    gHostMakesRoom = false;
    chooseFromMenu(600 * 1.5, 80 * 1.5, 4);  // 200 %
    EXPECT_EQ(gSizeRequests.size(), 2u);
    EXPECT_EQ(editor->zoomFactor(), 150);
    EXPECT_EQ(rect().right, 1413);
    EXPECT_EQ(editor->getFrame()->getDeviceSize(), CPoint(1413, 257));
    EXPECT_EQ(editor->commands()->zoom(), 200);
    reopen();
    EXPECT_EQ(editor->zoomFactor(), 200);
}
