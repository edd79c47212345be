// Drawing: every control shows the frame its value calls for (checked with bitmaps whose
// frames are flat, distinct colours), every embedded bitmap has its listed size and frame
// layout, and the real artwork sits seamlessly on the panel.
#include "Editor.h"
#include "GuiTest.h"
#include "QELControls.h"
#include "artwork.h"
#include "layout.h"

using namespace guitest;

namespace {

class Render : public FrameTest {
protected:
    // Registers a frame-coded replacement for `id` and returns it as a bitmap.
    CBitmap* coded(int id, int width, int frameHeight, int frames) {
        cairo_surface_t* s = codedStrip(width, frameHeight, frames);
        resources::setOverride(id, s);
        cairo_surface_destroy(s);
        auto* b = new CBitmap(id);
        bitmaps.push_back(b);
        return b;
    }
    void TearDown() override {
        for (CBitmap* b : bitmaps) b->forget();
        FrameTest::TearDown();
    }
    int frameAt(int x, int y, int frames) {
        frame->idle();
        return frameOfColour(screen->pixel(x, y), frames);
    }
    std::vector<CBitmap*> bitmaps;
};

}  // namespace

TEST_F(Render, FrameCodesAreDistinct) {
    for (int a = 0; a < 101; ++a)
        for (int b = a + 1; b < 101; ++b) ASSERT_NE(frameColour(a), frameColour(b));
}

TEST_F(Render, AnimKnobTruncatesToItsFrameAndDrawsIntoItsInsetRectangle) {
    auto* k = add(new QELAnimKnob(CRect(161, 30, 196, 65), nullptr, 83, 101, 37, coded(130, 36, 37, 101),
                                  CPoint(2, 2), CRect(162, 31, 195, 64)));
    const std::pair<float, int> cases[] = {{0.f, 0}, {0.5f, 50}, {0.505f, 50}, {0.999f, 99}, {1.f, 100}};
    for (auto [v, f] : cases) {
        k->setValue(v);
        EXPECT_EQ(frameAt(178, 47, 101), f) << v;
    }
    // The inset: the control's own top-left pixel and its last row are left to the panel.
    EXPECT_EQ(frameOfColour(screen->pixel(161, 30), 101), -1);
    EXPECT_EQ(frameOfColour(screen->pixel(162, 31), 101), 100);
    EXPECT_EQ(frameOfColour(screen->pixel(194, 63), 101), 100);
    EXPECT_EQ(frameOfColour(screen->pixel(195, 64), 101), -1);
}

TEST_F(Render, ButtonsSwitchesAndDisplaysDrawTheirFrames) {
    auto* onOff = add(new QELOnOffButton(CRect(784, 102, 808, 122), nullptr, 42, coded(150, 24, 20, 2)));
    auto* kick = add(new QELKickButton(CRect(90, 24, 109, 43), nullptr, 74, 19, coded(140, 19, 19, 2), CPoint(0, 0)));
    auto* sw3 = add(new QELSwitch(CRect(104, 57, 130, 66), nullptr, 89, 3, 9, 3, coded(143, 26, 9, 3), CPoint(0, 0)));
    auto* vert = add(new QELSwitchVert(CRect(359, 83, 375, 139), nullptr, 9, 5, 56, 5, coded(152, 16, 56, 5), CPoint(0, 0)));
    auto* digit = add(new CMovieBitmap(CRect(297, 26, 310, 42), nullptr, 64, 13, 16, coded(145, 13, 16, 13)));
    auto* meter = add(new CMovieBitmap(CRect(43, 23, 50, 68), nullptr, 80, 21, 45, coded(153, 7, 45, 21)));
    auto* rocker = add(new CRockerSwitch(CRect(342, 156, 372, 169), nullptr, 99, 13, coded(995, 30, 13, 5)));

    struct Case {
        CControl* control;
        float value;
        int x, y, frames, frame;
    };
    const Case cases[] = {
        {onOff, 0.25f, 796, 112, 2, 0}, {onOff, 0.5f, 796, 112, 2, 1}, {onOff, 0.75f, 796, 112, 2, 1},
        {onOff, 1.f, 796, 112, 2, 1},   {onOff, 0.f, 796, 112, 2, 0},  {kick, 1.f, 99, 33, 2, 1},
        {kick, 0.f, 99, 33, 2, 0},      {sw3, 0.74f, 117, 61, 3, 1},   {sw3, 0.76f, 117, 61, 3, 2},
        {sw3, 0.24f, 117, 61, 3, 0},    {vert, 0.8f, 367, 111, 5, 4},  {vert, 0.79f, 367, 111, 5, 3},
        {vert, 0.2f, 367, 111, 5, 1},   {digit, 5 / 12.f, 303, 34, 13, 5}, {digit, 1.f, 303, 34, 13, 12},
        {meter, 0.749f, 46, 45, 21, 15}, {meter, 0.f, 46, 45, 21, 0},  {rocker, -1.f, 357, 162, 5, 0},
        {rocker, 0.f, 357, 162, 5, 1},  {rocker, 1.f, 357, 162, 5, 2},
    };
    for (const Case& c : cases) {
        c.control->setValue(c.value);
        EXPECT_EQ(frameAt(c.x, c.y, c.frames), c.frame) << "tag " << c.control->getTag() << " value " << c.value;
    }
}

TEST_F(Render, EveryEmbeddedBitmapHasItsListedSizeAndFrames) {
    artwork::install();
    struct Expected {
        int id, width, height, frames, frameHeight;
    };
    // Sizes and frame layouts as the panel and the preset strip use them.
    const Expected expected[] = {
        {128, 942, 171, 1, 171}, {129, 942, 171, 1, 171}, {130, 36, 3737, 101, 37}, {131, 36, 3636, 101, 36},
        {132, 36, 3636, 101, 36}, {133, 37, 3737, 101, 37}, {134, 36, 3737, 101, 37}, {135, 36, 3737, 101, 37},
        {136, 37, 3737, 101, 37}, {137, 37, 3636, 101, 36}, {138, 36, 3636, 101, 36}, {139, 36, 3636, 101, 36},
        {140, 19, 38, 2, 19},     {141, 19, 38, 2, 19},     {142, 19, 18, 2, 9},        {143, 26, 27, 3, 9},
        {144, 13, 176, 11, 16},   {145, 13, 208, 13, 16},   {146, 3, 16, 2, 8},         {147, 3, 4, 2, 2},
        {148, 12, 92, 2, 46},     {149, 12, 92, 2, 46},     {150, 24, 40, 2, 20},       {151, 24, 40, 2, 20},
        {152, 16, 280, 5, 56},    {153, 7, 945, 21, 45},    {988, 11, 21, 3, 7},        {989, 11, 27, 3, 9},
        {990, 17, 45, 3, 15},     {991, 17, 45, 3, 15},     {992, 32, 39, 3, 13},       {993, 44, 39, 3, 13},
        {994, 28, 39, 3, 13},     {995, 30, 65, 5, 13},     {998, 24, 48, 3, 16},       {999, 24, 48, 3, 16},
    };
    size_t total = 0;
    for (const Expected& e : expected) {
        const EmbeddedResource* res = resources::find(e.id);
        ASSERT_NE(res, nullptr) << e.id;
        total += res->size;
        CBitmap b(e.id);
        EXPECT_EQ(b.getWidth(), e.width) << e.id;
        EXPECT_EQ(b.getHeight(), e.height) << e.id;
        EXPECT_EQ(e.frames * e.frameHeight, e.height) << e.id;
        // Only the waveform selector carries transparency.
        EXPECT_EQ(cairo_image_surface_get_format(b.getSurface()),
                  e.id == 152 ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24)
            << e.id;
    }
    EXPECT_EQ(resources::find(127), nullptr);
    EXPECT_LT(total, 1024u * 1024u);
    // The layout table the generator draws from agrees.
    ASSERT_EQ(sizeof layout::kBitmaps / sizeof layout::kBitmaps[0], sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
        EXPECT_EQ(layout::kBitmaps[i].id, expected[i].id);
        EXPECT_EQ(layout::kBitmaps[i].frames, expected[i].frames);
    }
}

namespace {
// Builds the panel's controls from the layout with the real artwork, the way the editor
// window will (knobs inset by one pixel, two for 36-pixel strips).
void buildPanel(CFrame* frame, float knobValue, float buttonValue) {
    auto* bg = new CBitmap(128);
    frame->setBackground(bg);
    bg->forget();
    for (const auto& c : layout::kPanel) {
        CRect r(c.left, c.top, c.right, c.bottom);
        CBitmap* b = c.bitmap ? new CBitmap(c.bitmap) : nullptr;
        CControl* control = nullptr;
        switch (c.kind) {
            case layout::Kind::Knob: {
                CCoord fh = b->getHeight() / 101, inset = fh == 37 ? 1 : 2;
                control = new QELAnimKnob(r, nullptr, c.tag, 101, fh, b, CPoint(2, 2),
                                          CRect(r.left + 1, r.top + 1, r.right - inset, r.bottom - inset));
                control->setValue(knobValue);
                break;
            }
            case layout::Kind::OnOff:
                control = new QELOnOffButton(CRect(r.left, r.top, r.left + b->getWidth(), r.top + b->getHeight() / 2),
                                             nullptr, c.tag, b);
                control->setValue(buttonValue);
                break;
            case layout::Kind::Switch: {
                int n = static_cast<int>(b->getHeight() / 9);
                control = new QELSwitch(r, nullptr, c.tag, n, 9, n, b, CPoint(0, 0));
                control->setValue(knobValue);
                break;
            }
            case layout::Kind::Digit: {
                int n = b->getWidth() == 13 ? static_cast<int>(b->getHeight() / 16) : 2;
                CCoord fh = b->getHeight() / n;
                control = new CMovieBitmap(CRect(r.left, r.top, r.left + b->getWidth(), r.top + fh), nullptr, c.tag,
                                           n, fh, b);
                control->setValue(knobValue);
                break;
            }
            case layout::Kind::Kick:
                control = new QELKickButton(r, nullptr, c.tag, 19, b, CPoint(0, 0));
                control->setValue(buttonValue);
                break;
            case layout::Kind::SwitchVert:
                control = new QELSwitchVert(r, nullptr, c.tag, 5, 56, 5, b, CPoint(0, 0));
                control->setValue(knobValue);
                break;
            case layout::Kind::Meter:
                control = new CMovieBitmap(r, nullptr, c.tag, 21, 45, b);
                control->setValue(knobValue);
                break;
            case layout::Kind::Slider: control = new CInvisibleSlider(r, nullptr, c.tag); break;
            default: break;
        }
        if (b) b->forget();
        if (control) frame->addView(control);
    }
    for (const auto& c : layout::kStrip) {
        if (c.bitmap == 128) continue;  // the text controls: the preview adds them
        auto* b = new CBitmap(c.bitmap);
        CRect r(c.left, c.top, c.right, c.bottom);
        frame->addView(new CKickButton(r, nullptr, c.tag, r.height(), b));
        b->forget();
    }
}
}  // namespace

TEST_F(Render, RealArtworkSitsSeamlesslyOnThePanel) {
    artwork::install();
    buildPanel(frame, 0.37f, 0.25f);
    frame->idle();
    cairo_surface_t* panel = resources::load(128);
    cairo_surface_flush(panel);
    auto panelPixel = [&](int x, int y) {
        const unsigned char* row = cairo_image_surface_get_data(panel) + y * cairo_image_surface_get_stride(panel);
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
    };
    // Each knob's drawing rectangle starts with panel pixels in its corners, and the
    // corners of every other bitmap control show the panel under them.
    int checked = 0;
    for (const auto& c : layout::kPanel) {
        if (c.kind == layout::Kind::Knob) {
            int x = static_cast<int>(c.left) + 1, y = static_cast<int>(c.top) + 1;
            EXPECT_EQ(screen->pixel(x, y), panelPixel(x, y)) << "knob " << c.tag;
            ++checked;
        } else if (c.kind == layout::Kind::OnOff || c.kind == layout::Kind::Kick || c.kind == layout::Kind::Switch) {
            int x = static_cast<int>(c.left), y = static_cast<int>(c.top);
            EXPECT_EQ(screen->pixel(x, y), panelPixel(x, y)) << "control " << c.tag;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 21 + 10 + 6 + 7);  // knobs, on/off buttons (with the side tabs), step buttons, switches
    // The knobs show their value: the top of the value ring is lit at 0.9, not at 0.37.
    uint32_t before = screen->pixel(400, 32);
    screen->writePng(std::string(GUI_OUTPUT_DIR) + "/panel_037.png");
    static_cast<CControl*>(frame->getView(4))->setValue(0.9f);
    frame->idle();
    EXPECT_NE(screen->pixel(400, 32), before);
    cairo_surface_destroy(panel);
}

TEST_F(Render, PreviewPanelsForPeople) {
    // Not an assertion of looks: writes the panel at two settings for a person to view.
    artwork::install();
    buildPanel(frame, 0.75f, 0.75f);
    auto* name = new CTextEdit(CRect(210, 156.5, 322, 169.5), nullptr, 98, "Long Dotted Echo");
    name->setFont(kNormalFontVerySmall);
    name->setFontColor(MakeCColor(36, 36, 32));
    name->setBackColor(MakeCColor(189, 207, 218));
    name->setFrameColor(MakeCColor(36, 36, 32));
    frame->addView(name);
    auto* menu = new COptionMenu(CRect(322, 157, 335, 169), nullptr, 110, nullptr, nullptr, 7680);
    for (int i = 0; i < 61; ++i) menu->addEntry(i == 0 ? "Default" : ("Factory preset " + std::to_string(i)).c_str());
    menu->setNbItemsPerColumn(16);
    menu->setCurrent(12);
    frame->addView(menu);
    frame->idle();
    EXPECT_TRUE(screen->writePng(std::string(GUI_OUTPUT_DIR) + "/panel_075.png"));
    screen->click(328, 162);
    screen->move(500, 100);
    frame->idle();
    EXPECT_TRUE(screen->writePng(std::string(GUI_OUTPUT_DIR) + "/panel_menu.png"));
    screen->key(0, VKEY_ESCAPE);
    screen->advance(1000);
    screen->click(300, 163);
    frame->idle();
    EXPECT_TRUE(screen->writePng(std::string(GUI_OUTPUT_DIR) + "/panel_name.png"));
    screen->key(0, VKEY_ESCAPE);
    CMessageBox::show(frame, "Could not open manual file", "Make sure Acrobat Reader is installed");
    frame->idle();
    EXPECT_TRUE(screen->writePng(std::string(GUI_OUTPUT_DIR) + "/panel_message.png"));
}
