#include "cframe.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "keys.h"

namespace VSTGUI {

// ---------------------------------------------------------------- platform factory

namespace {
PlatformCreator gDefaultCreator = nullptr;
PlatformCreator gOverrideCreator = nullptr;
SystemScaleQuery gDefaultScaleQuery = nullptr;
SystemScaleQuery gOverrideScaleQuery = nullptr;
}  // namespace

void PlatformFactory::setDefault(PlatformCreator creator) { gDefaultCreator = creator; }
void PlatformFactory::setOverride(PlatformCreator creator) {
    gOverrideCreator = creator;
    if (!creator) gOverrideScaleQuery = nullptr;
}
void PlatformFactory::setDefaultScaleQuery(SystemScaleQuery query) { gDefaultScaleQuery = query; }
void PlatformFactory::setOverrideScaleQuery(SystemScaleQuery query) { gOverrideScaleQuery = query; }

double PlatformFactory::systemScale() {
    SystemScaleQuery query = gOverrideCreator ? gOverrideScaleQuery : gDefaultScaleQuery;
    return query ? query() : 0;
}

IPlatformFrame* PlatformFactory::create(CFrame* frame, void* parent, const CRect& size) {
    PlatformCreator creator = gOverrideCreator ? gOverrideCreator : gDefaultCreator;
    return creator ? creator(frame, parent, size) : nullptr;
}

uint32_t monotonicTicks() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// ---------------------------------------------------------------- timer

CVSTGUITimer::CVSTGUITimer(Callback cb, uint32_t fireTimeMs, CFrame* frame)
    : callback(std::move(cb)), fireTime(fireTimeMs), frame(frame) {}

CVSTGUITimer::~CVSTGUITimer() { stop(); }

bool CVSTGUITimer::start() {
    if (running || !frame || frame->isClosed()) return false;
    running = true;
    lastFire = frame->getTicks();
    frame->addTimer(this);
    return true;
}

bool CVSTGUITimer::stop() {
    if (!running) return false;
    running = false;
    if (frame) frame->removeTimer(this);
    return true;
}

// ---------------------------------------------------------------- frame

CFrame::CFrame(const CRect& rect, void* systemWindow, VSTGUIEditorInterface* editor)
    : CView(rect), editor(editor) {
    int w = static_cast<int>(rect.width()), h = static_cast<int>(rect.height());
    backBuffer = platformGraphics().createBackBuffer(w > 0 ? w : 1, h > 0 ? h : 1, 1);
    parentFrame = this;
    if (systemWindow) platform = PlatformFactory::create(this, systemWindow, rect);
    invalidRect(size);
}

CFrame::~CFrame() {
    if (!closed) releaseAll();
}

void CFrame::releaseAll() {
    closed = true;
    for (CVSTGUITimer* t : timers) {
        t->running = false;
        t->frame = nullptr;
    }
    timers.clear();
    std::vector<CFrameTask*> pending;
    pending.swap(tasks);
    for (CFrameTask* task : pending) {
        task->cancel();
        task->forget();
    }
    focusView = nullptr;
    mouseDownView = nullptr;
    hoverView = nullptr;
    if (CView* modal = modalView) {
        modalView = nullptr;
        modal->removed(this);
        modal->forget();
    }
    std::vector<CView*> children;
    children.swap(views);
    for (CView* v : children) {
        v->removed(this);
        v->forget();
    }
    // Closing from inside an event the platform is dispatching: delete it once its pump returns.
    if (pumping)
        retiredPlatform = platform;
    else
        delete platform;
    platform = nullptr;
}

void CFrame::close() {
    if (closed) return;
    releaseAll();
    forget();
}

bool CFrame::addView(CView* view) {
    if (!view || closed || isChild(view)) return false;
    views.push_back(view);
    view->attached(this);
    view->setDirty(true);
    invalidRect(view->getViewSize());
    return true;
}

bool CFrame::removeView(CView* view, bool withForget) {
    auto it = std::find(views.begin(), views.end(), view);
    if (it == views.end()) return false;
    views.erase(it);
    if (focusView == view) focusView = nullptr;
    if (mouseDownView == view) mouseDownView = nullptr;
    if (hoverView == view) hoverView = nullptr;
    invalidRect(view->getViewSize());
    view->removed(this);
    if (withForget) view->forget();
    return true;
}

bool CFrame::isChild(CView* view) const { return std::find(views.begin(), views.end(), view) != views.end(); }

CView* CFrame::getView(int32_t index) const {
    return index >= 0 && index < getNbViews() ? views[static_cast<size_t>(index)] : nullptr;
}

CView* CFrame::getViewAt(const CPoint& where, bool) const {
    if (modalView) return modalView->getViewSize().pointInside(where) ? modalView : nullptr;
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->isVisible() && (*it)->getMouseableArea().pointInside(where)) return *it;
    return nullptr;
}

CView* CFrame::topmostAt(const CPoint& where, const CButtonState& buttons) const {
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* v = *it;
        if (v->isVisible() && v->getMouseEnabled() && v->hitTest(where, buttons)) return v;
    }
    return nullptr;
}

bool CFrame::setModalView(CView* view) {
    if (view && modalView) return false;
    if (CView* old = modalView) {
        modalView = nullptr;
        if (mouseDownView == old) mouseDownView = nullptr;
        invalidRect(old->getViewSize());
        old->removed(this);
    }
    if (view) {
        clearHover(CButtonState());
        modalView = view;
        view->attached(this);
        view->setDirty(true);
        invalidRect(view->getViewSize());
    }
    return true;
}

void CFrame::setFocusView(CView* view) {
    if (view == focusView) return;
    CView* old = focusView;
    focusView = view;
    if (old) old->looseFocus();
    if (view && focusView == view) view->takeFocus();
}

// ---------------------------------------------------------------- idle and drawing

void CFrame::idle() {
    if (closed) return;
    if (inIdle) {
        redrawDirty();
        return;
    }
    CBaseObjectGuard guard(this);  // a timer may close the frame
    inIdle = true;
    if (platform) {
        pumping = true;
        platform->pump();
        pumping = false;
        delete retiredPlatform;
        retiredPlatform = nullptr;
    }
    if (!closed) fireTimers();
    if (!closed) pollTasks();
    if (!closed && focusReturnPending) {
        focusReturnPending = false;
        if (focusBorrows == 0 && platform) platform->returnKeyboardFocus();
    }
    if (!closed) redrawDirty();
    inIdle = false;
}

void CFrame::invalidRect(const CRect& rectIn) {
    CRect r(std::floor(rectIn.left), std::floor(rectIn.top), std::ceil(rectIn.right), std::ceil(rectIn.bottom));
    r.bound(size);
    if (r.isEmpty()) return;
    // Merge with every overlapping rectangle until none overlaps.
    bool merged = true;
    while (merged) {
        merged = false;
        for (auto it = dirtyRects.begin(); it != dirtyRects.end(); ++it) {
            if (it->rectOverlap(r)) {
                r.unite(*it);
                dirtyRects.erase(it);
                merged = true;
                break;
            }
        }
    }
    dirtyRects.push_back(r);
    if (dirtyRects.size() > 32) {
        CRect all = dirtyRects.front();
        for (const CRect& d : dirtyRects) all.unite(d);
        dirtyRects.assign(1, all);
    }
}

void CFrame::redrawDirty() {
    if (closed) return;
    for (CView* v : views)
        if (v->isVisible() && v->isDirty()) v->invalid();
    if (modalView && modalView->isDirty()) modalView->invalid();
    if (dirtyRects.empty()) return;
    std::vector<CRect> rects;
    rects.swap(dirtyRects);
    {
        CDrawContext context(*backBuffer);
        for (const CRect& r : rects) {
            context.setClipRect(r);
            drawRect(&context, r);
            for (CView* v : views)
                if (v->isVisible() && v->getViewSize().rectOverlap(r)) v->drawRect(&context, r);
            if (modalView && modalView->isVisible() && modalView->getViewSize().rectOverlap(r))
                modalView->drawRect(&context, r);
        }
    }
    if (platform)
        for (const CRect& r : rects) platform->present(*backBuffer, r);
}

void CFrame::draw(CDrawContext* context) {
    if (background)
        background->draw(context, size);
    else {
        context->setFillColor(kBlackCColor);
        context->fillRect(size);
    }
    CView::setDirty(false);
}

void CFrame::setBackground(CBitmap* bitmap) {
    CView::setBackground(bitmap);
    invalidRect(size);
}

void CFrame::setScaleFactor(CCoord scale) {
    if (closed || !(scale > 0) || scale == getScaleFactor()) return;
    backBuffer = platformGraphics().createBackBuffer(static_cast<int32_t>(size.width()),
                                                     static_cast<int32_t>(size.height()), scale);
    dirtyRects.clear();
    invalidRect(size);
    if (platform) platform->setSize(backBuffer->getWidth(), backBuffer->getHeight());
}

uint32_t CFrame::getTicks() const { return platform ? platform->getTicks() : monotonicTicks(); }

int32_t CFrame::getKnobMode() const { return editor ? editor->getKnobMode() : kCircularMode; }

void CFrame::beginEdit(int32_t index) {
    if (editor) editor->beginEdit(index);
}

void CFrame::endEdit(int32_t index) {
    if (editor) editor->endEdit(index);
}

void CFrame::takeKeyboardFocus() {
    focusReturnPending = false;
    if (platform) platform->takeKeyboardFocus();
}

void CFrame::borrowKeyboardFocus() {
    if (focusBorrows++ > 0) return;
    if (focusReturnPending)
        focusReturnPending = false;  // still ours from the borrow just ended
    else if (platform)
        platform->borrowKeyboardFocus();
}

void CFrame::returnKeyboardFocus() {
    if (focusBorrows > 0 && --focusBorrows == 0) focusReturnPending = true;
}

void CFrame::setClipboard(ClipboardKind kind, const std::string& utf8) {
    if (platform) platform->setClipboard(kind, utf8);
}

void CFrame::requestClipboard(ClipboardKind kind, ClipboardReceiver receive) {
    if (platform) platform->requestClipboard(kind, std::move(receive));
}

// ---------------------------------------------------------------- timers and tasks

void CFrame::addTimer(CVSTGUITimer* timer) {
    if (std::find(timers.begin(), timers.end(), timer) == timers.end()) timers.push_back(timer);
}

void CFrame::removeTimer(CVSTGUITimer* timer) {
    timers.erase(std::remove(timers.begin(), timers.end(), timer), timers.end());
}

void CFrame::fireTimers() {
    uint32_t now = getTicks();
    std::vector<CVSTGUITimer*> due;
    for (CVSTGUITimer* t : timers)
        if (static_cast<uint32_t>(now - t->lastFire) >= t->fireTime) due.push_back(t);
    for (CVSTGUITimer* t : due) {
        // An earlier callback may have stopped this timer or closed the frame.
        if (closed) return;
        if (std::find(timers.begin(), timers.end(), t) == timers.end()) continue;
        t->lastFire = now;
        CBaseObjectGuard guard(t);
        if (t->callback) t->callback(t);
    }
}

void CFrame::addTask(CFrameTask* task) {
    if (!task) return;
    if (closed) {
        task->cancel();
        return;
    }
    task->remember();
    tasks.push_back(task);
}

bool CFrame::isInputBlocked() const {
    for (CFrameTask* t : tasks)
        if (t->blocksInput()) return true;
    return false;
}

void CFrame::pollTasks() {
    std::vector<CFrameTask*> current = tasks;
    for (CFrameTask* task : current) {
        if (closed) return;
        if (std::find(tasks.begin(), tasks.end(), task) == tasks.end()) continue;
        CBaseObjectGuard guard(task);
        if (task->poll()) {
            auto it = std::find(tasks.begin(), tasks.end(), task);
            if (it != tasks.end()) {
                tasks.erase(it);
                task->forget();
            }
        }
    }
}

// ---------------------------------------------------------------- raw input

CPoint CFrame::fromDevice(const CPoint& where) const {
    const CCoord scale = backBuffer->getScaleFactor();
    return CPoint(where.x / scale, where.y / scale);
}

void CFrame::rawPress(int button, uint32_t xstate, const CPoint& whereIn, uint32_t time) {
    if (closed) return;
    CPoint where = fromDevice(whereIn);
    mouseLocation = where;
    syncModifiers(xstate);
    bool horizontal = false;
    int direction = input::wheelDirection(button, horizontal);
    int32_t mods = input::modifiers(xstate);
    if (direction != 0) {
        if (isInputBlocked()) return;
        CButtonState buttons(input::heldButtons(xstate) | mods);
        platformOnMouseWheel(where, horizontal ? kMouseWheelAxisX : kMouseWheelAxisY, static_cast<float>(direction),
                             buttons);
        return;
    }
    int32_t state = input::heldButtons(xstate) | input::buttonBit(button) | mods;
    if (doubleClick.press(button, where, time)) state |= kDoubleClick;
    if (isInputBlocked()) {
        doubleClick.reset();
        return;
    }
    platformOnMouseDown(where, CButtonState(state));
}

void CFrame::rawRelease(int button, uint32_t xstate, const CPoint& whereIn, uint32_t) {
    if (closed) return;
    bool horizontal = false;
    if (input::wheelDirection(button, horizontal) != 0) return;  // wheel "releases" carry nothing
    syncModifiers(xstate);
    CPoint where = fromDevice(whereIn);
    mouseLocation = where;
    if (isInputBlocked()) return;
    int32_t state = (input::heldButtons(xstate) & ~input::buttonBit(button)) | input::modifiers(xstate);
    platformOnMouseUp(where, CButtonState(state));
}

void CFrame::rawMove(uint32_t xstate, const CPoint& whereIn, uint32_t) {
    if (closed) return;
    CPoint where = fromDevice(whereIn);
    mouseLocation = where;
    syncModifiers(xstate);
    if (isInputBlocked()) return;
    platformOnMouseMoved(where, CButtonState(input::heldButtons(xstate) | input::modifiers(xstate)));
}

void CFrame::rawExpose(const CRect& where) {
    const CCoord scale = backBuffer->getScaleFactor();
    invalidRect(CRect(where.left / scale, where.top / scale, where.right / scale, where.bottom / scale));
}

void CFrame::rawLeave() {
    if (closed) return;
    CPoint where(-1, -1);
    platformOnMouseExited(where, CButtonState());
    mouseLocation = CPoint(-1, -1);
}

// ---------------------------------------------------------------- translated events

CMouseEventResult CFrame::platformOnMouseDown(CPoint& where, const CButtonState& buttons) {
    return onMouseDown(where, buttons);
}

CMouseEventResult CFrame::platformOnMouseUp(CPoint& where, const CButtonState& buttons) {
    CMouseEventResult result = onMouseUp(where, buttons);
    if (!mouseDownView && !modalView) checkMouseViews(where, buttons);
    return result;
}

CMouseEventResult CFrame::platformOnMouseMoved(CPoint& where, const CButtonState& buttons) {
    return onMouseMoved(where, buttons);
}

CMouseEventResult CFrame::platformOnMouseExited(CPoint&, const CButtonState& buttons) {
    if (!mouseDownView) clearHover(buttons);
    return kMouseEventHandled;
}

bool CFrame::platformOnMouseWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                                  const CButtonState& buttons) {
    return onWheel(where, axis, distance, buttons);
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const CButtonState& buttons) {
    mouseDownView = nullptr;
    // A press first takes the focus away from a text being edited, which commits it
    // (unless the press lands in that very field, which moves its caret instead).
    if (focusView && focusView->isTypeOf("CTextEdit")) {
        if (modalView || !focusView->getViewSize().pointInside(where)) setFocusView(nullptr);
    }
    if (modalView) {
        if (!modalView->isVisible() || !modalView->getMouseEnabled()) return kMouseEventNotHandled;
        CView* modal = modalView;
        CBaseObjectGuard guard(modal);
        CMouseEventResult result = modal->onMouseDown(where, buttons);
        if (result == kMouseEventHandled && modalView == modal) mouseDownView = modal;
        return result;
    }
    std::vector<CView*> order(views.rbegin(), views.rend());
    for (CView* v : order) {
        if (closed) break;
        if (!isChild(v)) continue;
        if (!v->isVisible() || !v->getMouseEnabled() || !v->hitTest(where, buttons)) continue;
        if (auto* control = dynamic_cast<CControl*>(v)) {
            if (control->getListener() && (buttons & (kAlt | kShift | kControl | kApple | kRButton))) {
                if (control->getListener()->controlModifierClicked(control, buttons) != 0) return kMouseEventHandled;
            }
        }
        CBaseObjectGuard guard(v);
        if (v->wantsFocus()) setFocusView(v);
        CMouseEventResult result = v->onMouseDown(where, buttons);
        if (result != kMouseEventNotHandled && result != kMouseEventNotImplemented) {
            if (result == kMouseEventHandled && isChild(v)) mouseDownView = v;
            return result;
        }
        if (!v->getTransparency()) return result;
    }
    return kMouseEventNotHandled;
}

CMouseEventResult CFrame::onMouseUp(CPoint& where, const CButtonState& buttons) {
    CView* target = mouseDownView;
    if (!target) return kMouseEventNotHandled;
    CBaseObjectGuard guard(target);
    CMouseEventResult result = target->onMouseUp(where, buttons);
    if (mouseDownView == target) mouseDownView = nullptr;
    return result;
}

CMouseEventResult CFrame::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (CView* target = mouseDownView) {
        CBaseObjectGuard guard(target);
        return target->onMouseMoved(where, buttons);
    }
    if (CView* modal = modalView) {
        CBaseObjectGuard guard(modal);
        return modal->onMouseMoved(where, buttons);
    }
    checkMouseViews(where, buttons);
    // Without a capture, a move with no button held goes to the view under the pointer
    // (hover feedback); a move with a button held belongs to nobody.
    if (buttons.getButtonState() == 0 && hoverView) {
        CView* v = hoverView;
        CBaseObjectGuard guard(v);
        return v->onMouseMoved(where, buttons);
    }
    return kMouseEventNotHandled;
}

bool CFrame::onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                     const CButtonState& buttons) {
    if (CView* modal = modalView) {
        CBaseObjectGuard guard(modal);
        return modal->onWheel(where, axis, distance, buttons);
    }
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* v = *it;
        if (v->isVisible() && v->getMouseEnabled() && v->getMouseableArea().pointInside(where)) {
            CBaseObjectGuard guard(v);
            return v->onWheel(where, axis, distance, buttons);
        }
    }
    return false;
}

void CFrame::checkMouseViews(CPoint& where, const CButtonState& buttons) {
    if (mouseDownView || modalView) return;
    CView* now = topmostAt(where, buttons);
    if (now == hoverView) return;
    if (CView* old = hoverView) {
        hoverView = nullptr;
        CBaseObjectGuard guard(old);
        old->onMouseExited(where, buttons);
    }
    if (now && isChild(now)) {
        hoverView = now;
        CBaseObjectGuard guard(now);
        now->onMouseEntered(where, buttons);
    }
}

void CFrame::clearHover(const CButtonState& buttons) {
    if (CView* old = hoverView) {
        hoverView = nullptr;
        CPoint where = mouseLocation;
        CBaseObjectGuard guard(old);
        old->onMouseExited(where, buttons);
    }
}

bool CFrame::trackModifierKey(const VstKeyCode& key, bool down) {
    unsigned char bit = 0;
    switch (key.virt) {
        case VKEY_SHIFT: bit = MODIFIER_SHIFT; break;
        case VKEY_CONTROL: bit = MODIFIER_CONTROL; break;
        case VKEY_ALT: bit = MODIFIER_ALTERNATE; break;
        default: return false;
    }
    heldModifiers = down ? (heldModifiers | bit) : (heldModifiers & ~bit);
    return true;
}

void CFrame::syncModifiers(uint32_t xstate) {
    heldModifiers = 0;
    if (xstate & kXShiftMask) heldModifiers |= MODIFIER_SHIFT;
    if (xstate & kXControlMask) heldModifiers |= MODIFIER_CONTROL;
    if (xstate & kXMod1Mask) heldModifiers |= MODIFIER_ALTERNATE;
}

VstKeyCode CFrame::translatedKey(const VstKeyCode& in, bool down) {
    VstKeyCode key = in;
    key.modifier = static_cast<unsigned char>(key.modifier | heldModifiers);
    if (key.virt == VKEY_SPACE) key.character = ' ';
    const int32_t dead = pendingDeadKey;
    if (down) pendingDeadKey = 0;
    if (key.virt != 0 && key.virt != VKEY_SPACE) {
        key.character = 0;
        return key;
    }
    key.character = static_cast<VstInt32>(keys::codePoint(key.character));
    if (down && dead && key.character && !keys::isShortcut(key)) {
        // A dead key and the key after it type one character: the accented letter, or the
        // plain one when they do not combine (as a desktop input method does).
        if (const uint32_t combined = keys::compose(dead, static_cast<uint32_t>(key.character))) {
            key.character = static_cast<VstInt32>(combined);
            key.virt = 0;
        }
    }
    return key;
}

int32_t CFrame::onKeyDown(VstKeyCode& keyIn) {
    if (closed || isInputBlocked()) return -1;
    if (trackModifierKey(keyIn, true)) return -1;  // remembered, but not used
    CView* target = modalView ? modalView : focusView;
    if (!target) {
        pendingDeadKey = 0;
        return -1;
    }
    if (keyIn.virt == 0 && keys::isDeadKey(keyIn.character)) {
        pendingDeadKey = keyIn.character;
        return 1;
    }
    VstKeyCode key = translatedKey(keyIn, true);
    CBaseObjectGuard guard(target);
    return target->onKeyDown(key);
}

int32_t CFrame::onKeyUp(VstKeyCode& keyIn) {
    if (closed || isInputBlocked()) return -1;
    if (trackModifierKey(keyIn, false)) return -1;
    CView* target = modalView ? modalView : focusView;
    if (!target || (keyIn.virt == 0 && keys::isDeadKey(keyIn.character))) return -1;
    VstKeyCode key = translatedKey(keyIn, false);
    CBaseObjectGuard guard(target);
    return target->onKeyUp(key);
}

bool CFrame::isTypeOf(const char* name) const {
    return std::strcmp(name, "CFrame") == 0 || CView::isTypeOf(name);
}

}  // namespace VSTGUI
