// The plug-in's editor object. It exists from the effect's construction on, whether or
// not a window is open: the effect tells it about parameter changes, tempo changes and
// the left/right link, and the preset system reaches it through its hooks.
//
// Those calls may come from any thread (automation, MIDI, chunk loads, the audio thread),
// so they never touch a control: each stores its value in a slot here and marks it
// pending; the next idle, on the editor's thread, applies what is pending to the controls.
// This also keeps them harmless while the window is closed or being closed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "../gui/vst2/aeffguieditor.h"
#include "EditorObject.h"
#include "MyFrame.h"
#include "Panel.h"
#include "PresetStrip.h"

class QEL;
namespace VSTGUI {
class COptionMenu;
}
namespace presets {
class PresetCommands;
}

// The zoom. The window opens at the user's stored choice, else at the scale the host
// announced, else at the desktop's (see zoom::startFactor), and its frame draws at that
// scale while every control keeps the panel's own coordinates. The user chooses from the
// menu a right click on the panel's background opens; while the window is open the host
// is asked to make room (audioMasterSizeWindow) and the window follows if it agrees.
// A new announcement from the host, or a new desktop scale (Windows: a monitor of another
// DPI), is followed unless the user chose.
class Editor : public VSTGUI::AEffGUIEditor,
               public VSTGUI::CControlListener,
               public EditorObject,
               public PanelHost,
               public MyFrame::Owner {
public:
    static constexpr int kWidth = 942;
    static constexpr int kHeight = 171;
    // Parameters 0..59 and the controller-assignment pseudo-parameters 60..119.
    static constexpr int kParameterSlots = 120;
    // The period of the window timer that runs the editor's idle step.
    static constexpr uint32_t kIdleTimerMs = 30;
    // The zoom menu's tag (an editor tag no panel control has).
    static constexpr int32_t kZoomMenuTag = 97;

    explicit Editor(AudioEffect* effect);
    ~Editor() override;

    // Opens the frame as a child of the host's window (ptr: its X window id or HWND), with the
    // panel, the preset strip and a 30 ms timer for the editor's own idle step, at the zoom it
    // starts with.
    bool open(void* ptr) override;
    void close() override;
    // The host's idle: the editor's step, then the frame's (events, timers, repaint).
    void idle() override;
    // The window's size: the open one's, or the size it would open at.
    bool getRect(ERect** ppRect) override;

    // ---- zoom (the editor's thread) ----
    // Per cent: the window's while it is open, else what it would open at.
    int zoomFactor();
    // The user's choice of one of zoom::kFactors: stored for every instance (unless
    // `remember` is false) and, while the window is open, taken as soon as the host agrees.
    // False when the window is open and stays as it was (the host refused).
    bool chooseZoom(int percent, bool remember = true);
    // Any thread: the host's scale (effVendorSpecific), followed at the next idle.
    bool hostScaleAnnounced(float scale) override;
    // The frame's: a right click where no control lies, the desktop's scale changing.
    void backgroundMenu(const VSTGUI::CPoint& where) override;
    void systemScaleChanged(double scale) override;

    // The controls' listener.
    void valueChanged(VSTGUI::CControl* control) override;
    void controlBeginEdit(VSTGUI::CControl* control) override;
    void controlEndEdit(VSTGUI::CControl* control) override;
    // Only parameters reach the host's edit brackets: the editor's own tags (60 and above)
    // are not parameters. A bracket still open when the window closes is closed then.
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;

    // Any thread; controls follow at the next idle.
    void setParameter(VstInt32 index, float value) override;
    // The left/right link of the channel controls.
    void linkOff() override;
    void linkOn() override;
    bool isLinked() const override { return linked_.load(std::memory_order_relaxed); }
    // The user's own click on the link button (the button already shows it).
    void setLinked(bool linked) override { linked_.store(linked, std::memory_order_relaxed); }
    // The tempo in force, for the tempo control.
    void tempoChanged(double bpm) override;
    double shownTempo() const override { return tempo_.load(std::memory_order_relaxed); }

    // ---- the preset system's hooks (any thread; the strip follows at the next idle) ----
    void clearLearnButton() override;
    void clearForgetButton() override;
    void showProgramName(const char* name) override;
    void programRenamed(int index) override;
    void programShown(int index) override;
    // Start-up: the user's stored default bank, preset and MIDI settings, and recent paths.
    void applyStoredDefaults() override;
    // Files, stored defaults, memos, keyboard focus and manual (null without a preset effect).
    presets::PresetCommands* commands() const override { return commands_.get(); }

    MyFrame* getMyFrame() const;
    // Null without a preset effect.
    PresetStrip* presetStrip() const { return strip_.get(); }
    // Null without an effect.
    Panel* panel() const { return panel_.get(); }
    // The last value stored for a parameter slot (NaN before any).
    float storedParameter(int index) const;
    bool hasPendingChanges() const;

protected:
    // Called by idle on the editor's thread for each value stored since the last idle
    // (and for every stored value right after open): the panel's controls follow.
    virtual void applyParameter(int index, float value);
    virtual void applyLink(bool linked);
    virtual void applyTempo(double bpm);
    // Applies everything pending (or everything stored, with `all`).
    void applyPending(bool all = false);

private:
    // What the editor does at each idle and each tick of its timer: the values recorded
    // since the last one, then the strip's step.
    void idleStep();
    int storedZoom() const;
    int startZoom() const;
    // The open window at `percent`, if the host makes room for it; false otherwise.
    bool applyZoom(int percent);
    void setRectSize(int width, int height);

    std::unique_ptr<presets::PresetCommands> commands_;
    std::unique_ptr<Panel> panel_;
    std::unique_ptr<PresetStrip> strip_;
    // Host edit brackets opened from the editor and not closed yet, per parameter.
    int openBrackets_[presets::kNumParams] = {};
    VSTGUI::CVSTGUITimer* timer_ = nullptr;
    static constexpr int kWords = (kParameterSlots + 63) / 64;
    std::atomic<float> slots_[kParameterSlots];
    std::atomic<uint64_t> pending_[kWords];
    std::atomic<bool> linkPending_{false};
    std::atomic<bool> tempoPending_{false};
    std::atomic<bool> linked_{false};
    std::atomic<double> tempo_{120.0};
    // The zoom in force while the window is open (per cent), the desktop's scale as the
    // window last found it (0: not yet known), the host's announced scale (0: none).
    int zoom_ = 100;
    double systemScale_ = 0;
    std::atomic<float> hostScale_{0.f};
    std::atomic<bool> hostScalePending_{false};
    VSTGUI::COptionMenu* zoomMenu_ = nullptr;  // the frame's child while open
};
