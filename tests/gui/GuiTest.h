// Shared pieces of the toolkit tests: a listener and an editor interface that log into one
// list (so the order of edit brackets and notifications is visible), a probe view with
// scripted answers, frame-coded bitmaps, and a fixture with an offscreen frame.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/resources.h"
#include "offscreen/OffscreenFrame.h"
#include "vstgui.h"

namespace guitest {

using namespace VSTGUI;

struct Log {
    std::vector<std::string> lines;
    void add(const std::string& s) { lines.push_back(s); }
    void clear() { lines.clear(); }
    size_t count(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& l : lines) n += l.compare(0, prefix.size(), prefix) == 0;
        return n;
    }
};

inline std::string num(float v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", static_cast<double>(v));
    return b;
}

class RecordingListener : public CControlListener {
public:
    explicit RecordingListener(Log& log) : log(log) {}
    void valueChanged(CControl* c) override { log.add("changed " + std::to_string(c->getTag()) + " " + num(c->getValue())); }
    int32_t controlModifierClicked(CControl* c, CButtonState b) override {
        log.add("modifier " + std::to_string(c->getTag()) + " " + std::to_string(static_cast<int32_t>(b)));
        return modifierAnswer;
    }
    void controlBeginEdit(CControl* c) override { log.add("listener begin " + std::to_string(c->getTag())); }
    void controlEndEdit(CControl* c) override { log.add("listener end " + std::to_string(c->getTag())); }
    int32_t modifierAnswer = 0;
    Log& log;
};

class RecordingEditor : public VSTGUIEditorInterface {
public:
    explicit RecordingEditor(Log& log) : log(log) {}
    int32_t getKnobMode() const override { return knobMode; }
    void beginEdit(int32_t index) override { log.add("effect begin " + std::to_string(index)); }
    void endEdit(int32_t index) override { log.add("effect end " + std::to_string(index)); }
    int32_t knobMode = kLinearMode;
    Log& log;
};

// A view that logs what reaches it and answers as scripted.
class Probe : public CView {
public:
    Probe(const CRect& r, const std::string& name, Log& log, CMouseEventResult down = kMouseEventHandled)
        : CView(r), name(name), log(log), downResult(down) {}
    CMouseEventResult onMouseDown(CPoint& p, const CButtonState& b) override {
        lastButtons = b;
        log.add(name + " down " + std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y)));
        return downResult;
    }
    CMouseEventResult onMouseUp(CPoint& p, const CButtonState& b) override {
        lastButtons = b;
        log.add(name + " up " + std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y)));
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseMoved(CPoint& p, const CButtonState& b) override {
        lastButtons = b;
        log.add(name + " moved " + std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y)));
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseEntered(CPoint&, const CButtonState&) override {
        log.add(name + " entered");
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseExited(CPoint&, const CButtonState&) override {
        log.add(name + " exited");
        return kMouseEventHandled;
    }
    bool onWheel(const CPoint&, const float& d, const CButtonState& b) override {
        lastButtons = b;
        log.add(name + " wheel " + num(d));
        return true;
    }
    std::string name;
    Log& log;
    CMouseEventResult downResult;
    int32_t lastButtons = 0;
};

// A colour per frame index, distinct for every frame of the longest strip.
inline uint32_t frameColour(int f) {
    return (static_cast<uint32_t>(40 + f * 2) << 16) | (static_cast<uint32_t>(250 - f * 2) << 8) |
           static_cast<uint32_t>(f % 2 ? 200 : 20);
}

// An image in which frame f (stacked vertically) is filled with frameColour(f).
inline PlatformImagePtr codedStrip(int width, int frameHeight, int frames) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * frameHeight * frames);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xff000000u | frameColour(static_cast<int>(i / width) / frameHeight);
    return platformGraphics().createImage(width, frameHeight * frames, pixels.data(), true);
}

inline int frameOfColour(uint32_t colour, int frames) {
    for (int f = 0; f < frames; ++f)
        if (frameColour(f) == colour) return f;
    return -1;
}

// An offscreen frame of the editor's size, with a logging editor interface.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        OffscreenFrame::install();
        frame = new CFrame(CRect(0, 0, 942, 171), reinterpret_cast<void*>(1), &editor);
        screen = OffscreenFrame::of(frame);
        ASSERT_NE(screen, nullptr);
    }
    void TearDown() override {
        if (frame) frame->close();
        OffscreenFrame::uninstall();
        resources::clearOverrides();
    }
    template <typename T>
    T* add(T* view) {
        frame->addView(view);
        return view;
    }

    Log log;
    RecordingListener listener{log};
    RecordingEditor editor{log};
    CFrame* frame = nullptr;
    OffscreenFrame* screen = nullptr;
};

}  // namespace guitest
