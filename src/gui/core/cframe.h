// The frame: the editor's top-level view. It owns its child views (a flat list, topmost
// last), the background, the modal view slot, the focus and capture views, the enter/exit
// tracking, the timers and pending tasks, and the back buffer that every view draws into.
// It works without any window (no platform) or on a platform backend (X11, offscreen).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "cview.h"
#include "graphics.h"
#include "input.h"
#include "platform.h"

namespace VSTGUI {

class CFrame;

// A periodic callback driven by the frame's idle: it fires at most once per idle when its
// period has passed (no bursts to catch up after a long gap).
class CVSTGUITimer : public CBaseObject {
public:
    using Callback = std::function<void(CVSTGUITimer*)>;
    CVSTGUITimer(Callback callback, uint32_t fireTimeMs, CFrame* frame);
    ~CVSTGUITimer() override;

    bool start();
    bool stop();
    bool isRunning() const { return running; }
    uint32_t getFireTime() const { return fireTime; }
    void setFireTime(uint32_t ms) { fireTime = ms; }

private:
    friend class CFrame;
    Callback callback;
    uint32_t fireTime;
    CFrame* frame;
    uint32_t lastFire = 0;
    bool running = false;
};

// Work the frame polls on each idle (a file dialog, a document opener). While a task that
// blocks input is pending, the frame drops mouse and key input but keeps repainting.
class CFrameTask : public CBaseObject {
public:
    // Answers true when finished (the frame then releases the task).
    virtual bool poll() = 0;
    // The frame closes before the task finished: stop and deliver nothing.
    virtual void cancel() {}
    virtual bool blocksInput() const { return false; }
};

class CFrame : public CView {
public:
    // `systemWindow` is the parent window (an X window id); null makes a frame without a
    // window, which tests drive directly.
    CFrame(const CRect& size, void* systemWindow, VSTGUIEditorInterface* editor);
    ~CFrame() override;

    // Removes and releases every view, the modal view and the platform window, stops the
    // timers, cancels pending tasks and releases the frame itself.
    virtual void close();
    bool isClosed() const { return closed; }

    // False when a parent window was given but no window could be made.
    bool isOpen() const { return platform != nullptr; }
    IPlatformFrame* getPlatformFrame() const { return platform; }
    VSTGUIEditorInterface* getEditor() const { return editor; }

    // Children. The frame takes over the caller's reference.
    virtual bool addView(CView* view);
    virtual bool removeView(CView* view, bool withForget = true);
    bool isChild(CView* view) const;
    int32_t getNbViews() const { return static_cast<int32_t>(views.size()); }
    CView* getView(int32_t index) const;
    // The topmost visible direct child at `where`; with a modal view only that view.
    CView* getViewAt(const CPoint& where, bool deep = false) const;

    // The modal view receives every press and move; setting one while another is set fails.
    // Clearing it (null) neither releases the view nor redraws anything but its area.
    bool setModalView(CView* view);
    CView* getModalView() const { return modalView; }

    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    CView* getMouseDownView() const { return mouseDownView; }
    CView* getHoverView() const { return hoverView; }

    // The last pointer position inside the frame, (-1, -1) when outside.
    CPoint& getCurrentMouseLocation(CPoint& where) const { return where = mouseLocation; }

    // Idle: pump events, fire due timers, poll tasks, then repaint dirty views. A nested
    // call (from a timer callback) only repaints.
    virtual void idle();
    void invalidRect(const CRect& rect);
    void invalid() override { invalidRect(size); }
    // Repaints now whatever is dirty (step 5 of idle).
    void redrawDirty();
    // What the views draw into: the frame's size times its scale factor in pixels.
    IPlatformBackBuffer& getBackBuffer() const { return *backBuffer; }
    CCoord getScaleFactor() const { return backBuffer->getScaleFactor(); }
    // Draws everything anew at `scale` window pixels per pixel of the frame and gives the
    // window that size; views keep their rectangles, and input goes on arriving in them.
    void setScaleFactor(CCoord scale);
    // The window's size in its own pixels at the scale in force.
    CPoint getDeviceSize() const { return CPoint(backBuffer->getWidth(), backBuffer->getHeight()); }
    // The scale the desktop asks of the window (0: nobody knows, as without a platform).
    double getSystemScale() const { return platform ? platform->systemScale() : 0; }

    uint32_t getTicks() const;
    int32_t getKnobMode() const;
    void beginEdit(int32_t index);
    void endEdit(int32_t index);

    // The keyboard focus for good (the keep-focus option).
    void takeKeyboardFocus();
    // The keyboard focus while a text is edited or a menu is open, which need keys whatever
    // the option says. Borrows nest; once the last one is returned the focus goes back at
    // the next idle, so that one edit ending and another starting in the same click do not
    // move it back and forth.
    void borrowKeyboardFocus();
    void returnKeyboardFocus();

    // The desktop's clipboard (nothing without a platform window).
    void setClipboard(ClipboardKind kind, const std::string& utf8);
    void requestClipboard(ClipboardKind kind, ClipboardReceiver receive);

    // Timers and tasks (used by CVSTGUITimer and the dialogs).
    void addTask(CFrameTask* task);  // takes a reference
    bool isInputBlocked() const;
    int32_t getNbTasks() const { return static_cast<int32_t>(tasks.size()); }

    // Raw input from a platform (or a test), translated into button states. Positions are
    // the window's pixels; the frame divides them by its scale factor, here and nowhere else.
    void rawPress(int button, uint32_t xstate, const CPoint& where, uint32_t time);
    void rawRelease(int button, uint32_t xstate, const CPoint& where, uint32_t time);
    void rawMove(uint32_t xstate, const CPoint& where, uint32_t time);
    void rawLeave();
    // A part of the window to draw again (the window's pixels).
    void rawExpose(const CRect& where);
    // Keys from the window or from the host (effEditKeyDown), one path for both: 1 when
    // the modal view or the focus view used the key, -1 otherwise (the host's key then).
    // The views get the character as a code point (see keys.h), a dead key already
    // combined with the key after it, and the modifiers held: those the key carries and
    // those the host reported as keys of their own (Linux hosts send Shift, Ctrl and Alt as
    // VKEY_SHIFT/CONTROL/ALT and leave the modifier bits empty).
    int32_t onKeyDown(VstKeyCode& key) override;
    int32_t onKeyUp(VstKeyCode& key) override;
    // The modifiers an X event says are held (pointer and key events carry them): they
    // replace what the host's modifier keys left behind, which a lost key-up could leave stale.
    void syncModifiers(uint32_t xstate);

    // Translated events. The base implementations dispatch as described on each.
    virtual CMouseEventResult platformOnMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult platformOnMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult platformOnMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult platformOnMouseExited(CPoint& where, const CButtonState& buttons);
    virtual bool platformOnMouseWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                                      const CButtonState& buttons);
    // The desktop asks another scale of the window (it moved to a monitor of another DPI;
    // the Win32 frame's WM_DPICHANGED, see IPlatformFrame::systemScale). The frame keeps
    // its own scale; whoever owns it decides.
    virtual void platformOnSystemScaleChanged(double scale) { (void)scale; }

    // The frame's own dispatch of a press (topmost first, modal view, focus, capture).
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                 const CButtonState& buttons) override;

    void draw(CDrawContext* context) override;
    void setBackground(CBitmap* bitmap) override;
    bool isTypeOf(const char* name) const override;

private:
    friend class CVSTGUITimer;
    void addTimer(CVSTGUITimer* timer);
    void removeTimer(CVSTGUITimer* timer);
    void fireTimers();
    void pollTasks();
    void releaseAll();
    void checkMouseViews(CPoint& where, const CButtonState& buttons);
    void clearHover(const CButtonState& buttons);
    CView* topmostAt(const CPoint& where, const CButtonState& buttons) const;
    CPoint fromDevice(const CPoint& where) const;
    bool trackModifierKey(const VstKeyCode& key, bool down);
    VstKeyCode translatedKey(const VstKeyCode& key, bool down);

    VSTGUIEditorInterface* editor;
    IPlatformFrame* platform = nullptr;
    std::unique_ptr<IPlatformBackBuffer> backBuffer;
    std::vector<CView*> views;
    std::vector<CRect> dirtyRects;
    std::vector<CVSTGUITimer*> timers;
    std::vector<CFrameTask*> tasks;
    CView* modalView = nullptr;
    CView* focusView = nullptr;
    CView* mouseDownView = nullptr;
    CView* hoverView = nullptr;
    CPoint mouseLocation{-1, -1};
    DoubleClickDetector doubleClick;
    IPlatformFrame* retiredPlatform = nullptr;
    int32_t focusBorrows = 0;
    bool focusReturnPending = false;
    unsigned char heldModifiers = 0;  // VST modifier bits
    int32_t pendingDeadKey = 0;
    bool pumping = false;
    bool inIdle = false;
    bool closed = false;
};

}  // namespace VSTGUI
