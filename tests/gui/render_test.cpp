// Drawing: every control shows the frame its value calls for (checked with bitmaps whose
// frames are flat, distinct colours), and every embedded bitmap has its listed size and
// frame layout. (The real panel is drawn by the editor's own tests.)
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
        resources::setOverride(id, codedStrip(width, frameHeight, frames));
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
        EXPECT_EQ(b.getPlatformImage()->pixels().opaque, e.id != 152) << e.id;
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
