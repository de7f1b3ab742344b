// Small value types of the window layer: reference counting, geometry in points (y down) and the
// input event record handed to views.
#pragma once

#include <atomic>
#include <cstdint>

// Reference-counted base of the layer's objects (views, native windows, window delegates). The
// creator holds the first reference; Release deletes the object when the last one goes. The
// count is atomic, so a worker may hold a view while its command waits in the queue.
class LUiObject {
public:
    LUiObject() = default;
    LUiObject(const LUiObject&) = delete;
    LUiObject& operator=(const LUiObject&) = delete;

    void Retain() { fRefs.fetch_add(1, std::memory_order_relaxed); }
    void Release()
    {
        if (fRefs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    int RetainCount() const { return fRefs.load(std::memory_order_relaxed); }

protected:
    virtual ~LUiObject() = default;

private:
    std::atomic<int> fRefs { 1 };
};

// Holds one reference for its lifetime.
template <class T> class LUiRef {
public:
    LUiRef() = default;
    LUiRef(T* object)
        : fObject(object)
    {
        if (fObject)
            fObject->Retain();
    }
    LUiRef(const LUiRef& other)
        : LUiRef(other.fObject)
    {
    }
    LUiRef& operator=(const LUiRef& other)
    {
        Reset(other.fObject);
        return *this;
    }
    ~LUiRef() { Reset(nullptr); }
    // Takes over a reference the caller already holds (a fresh object, say).
    static LUiRef Adopt(T* object)
    {
        LUiRef r;
        r.fObject = object;
        return r;
    }
    void Reset(T* object)
    {
        if (object)
            object->Retain();
        if (fObject)
            fObject->Release();
        fObject = object;
    }
    T* Get() const { return fObject; }
    T* operator->() const { return fObject; }
    explicit operator bool() const { return fObject != nullptr; }

private:
    T* fObject = nullptr;
};

struct LUiPoint {
    double x = 0;
    double y = 0;
};

struct LUiSize {
    double width = 0;
    double height = 0;
};

// A rectangle in points, origin at the top left, y growing downwards.
struct LUiRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool Contains(double px, double py) const
    {
        return px >= x && py >= y && px < x + width && py < y + height;
    }
    bool operator==(const LUiRect&) const = default;
};

// How far something stands out around a rectangle, in points.
struct LUiEdges {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

// Modifier bits of LUiEvent::modifiers.
enum : uint32_t {
    kLUiShift = 1u << 0,
    kLUiControl = 1u << 1, // the Ctrl key
    kLUiAlt = 1u << 2,
    kLUiSuper = 1u << 3,
    kLUiCapsLock = 1u << 4,
    kLUiButton1 = 1u << 8, // a button held during the event
    kLUiButton2 = 1u << 9,
    kLUiButton3 = 1u << 10,
};

enum class LUiEventType : uint8_t {
    None,
    MouseDown, // left button
    MouseUp,
    RightMouseDown,
    RightMouseUp,
    MouseMoved,
    MouseDragged, // left button held
    RightMouseDragged,
    MouseEntered,
    MouseExited,
    ScrollWheel,
    KeyDown,
    KeyUp,
    FlagsChanged,
};

// One input event as a view sees it. Positions are points: x, y in the receiving view (y down),
// rootX, rootY on the screen.
struct LUiEvent {
    LUiEventType type = LUiEventType::None;
    double x = 0;
    double y = 0;
    double rootX = 0;
    double rootY = 0;
    uint32_t modifiers = 0;
    int clickCount = 0; // 1, 2 or 3 for button presses
    // Scroll deltas: lines for a wheel (precise false), points for a touchpad (precise true).
    double scrollX = 0;
    double scrollY = 0;
    bool precise = false;
    // Keys: the key value (GDK keysym), the hardware key code, the character (UTF-32, 0 none)
    // and whether the key-down is an auto-repeat.
    uint32_t keyval = 0;
    uint32_t keycode = 0;
    uint32_t character = 0;
    bool isRepeat = false;
    uint32_t time = 0; // milliseconds, server time
    double scale = 1; // backing scale of the window the event came from
    // The GdkEvent this record was made from, valid only while the event is dispatched.
    const void* native = nullptr;
};
