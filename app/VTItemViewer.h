// The painted canvas on which the user arranges the items of one collection with the mouse and
// the arrow keys: a design's overlays, a layout page's label positions. It fits the collection
// into the control (millimetres, origin at the collection's centre, y down, a margin of 5 % of
// the control's smaller side), keeps a selection, hit-tests, moves, resizes and nudges items,
// sets the cursor for the handle under the pointer, and tells its subclass when the selection or
// an item changes.
#pragma once

#include "app/VTItemCollection.h"
#include "app/VTItemHitTestable.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LGuiCursor.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

// The cursor the canvas last chose.
enum VTItemViewerCursor : int {
    VTItemViewerCursorArrow = 0,
    VTItemViewerCursorUpDown,
    VTItemViewerCursorLeftRight,
    VTItemViewerCursorNWSE, // resource 308
    VTItemViewerCursorNESW, // resource 309
    VTItemViewerCursorHand, // resource 392
    VTItemViewerCursorHandClosed, // resource 393, while the canvas holds the mouse
};

// Key codes of the arrow keys.
enum : unsigned {
    kVTKeyLeft = 123,
    kVTKeyRight = 124,
    kVTKeyDown = 125,
    kVTKeyUp = 126,
};

template <class TCollection, class TItem> class VTItemViewer : public LPaintControlPrePaint {
public:
    explicit VTItemViewer(bool allowEditing = true, bool setResizeCursors = true)
        : allowEdit(allowEditing)
        , setCursors(setResizeCursors)
    {
    }
    VTItemViewer(const VTItemViewer&) = delete;
    VTItemViewer& operator=(const VTItemViewer&) = delete;
    ~VTItemViewer() override
    {
        if (cursorSet && hostView)
            LGuiCursor::Restore();
        selectedItems.Clear();
    }

    // --- The subclass's part.
    virtual void NotifyItemSelectionChanged() = 0;
    virtual void NotifyItemChanged() = 0;
    // Millimetres, centred on the collection's origin.
    virtual LBoundingBox2T<float> GetCollectionBoundingBox() const = 0;
    virtual void EvContextMenuOpen() { }
    // Asks for the canvas to be painted again.
    virtual void Invalidate() { Update(); }
    // Pictures it drew stand-ins for have their copies now.
    void EvScreenCopiesMade() override { Invalidate(); }
    // Whether the canvas has the keyboard focus.
    virtual bool HasKeyboardFocus() const { return hostView && hostView->HasFocus(); }

    // --- Collection and selection.
    void SetCollection(TCollection* shown)
    {
        selectedItems.Clear();
        EvCollectionChanging(collection, shown);
        collection = shown;
        Invalidate();
    }
    TCollection* GetCollection() const { return collection; }

    // A collection that can paint itself paints; the subclass paints any other.
    void Prepaint(LPaintContext& context) override
    {
        if constexpr (requires(TCollection & c) { c.Paint(context); }) {
            if (collection)
                collection->Paint(context);
        }
    }

    TItem* GetSingleSelectedItem()
    {
        if (!collection)
            selectedItems.Clear();
        if (selectedItems.first && !selectedItems.first->next)
            return selectedItems.first->item;
        return nullptr;
    }

    bool SetItemSelected(TItem* item, bool select, bool notify)
    {
        if (!collection || !item || !collection->Contains(item))
            return false;
        bool changed = false;
        if (select && !selectedItems.Contains(*item)) {
            selectedItems.AddFirst(*item);
            changed = true;
        } else if (!select && selectedItems.Contains(*item)) {
            selectedItems.Delete(*item);
            changed = true;
        }
        if (changed && notify)
            NotifyItemSelectionChanged();
        return true;
    }

    void ClearSelectedItems()
    {
        selectedItems.Clear();
        NotifyItemSelectionChanged();
    }

    // Selects the item after (step > 0) or before the single selected one in the collection's
    // order, round from the last to the first; the first (or the last) when none is, or more
    // than one is, selected. Answers whether there was an item to select.
    bool ChooseNeighbourItem(int step)
    {
        if (!collection || !collection->first)
            return false;
        TItem* single = GetSingleSelectedItem();
        if (single && !collection->Contains(single))
            single = nullptr;
        TItem* chosen = nullptr;
        if (step > 0) {
            chosen = single && single->next ? single->next : collection->first;
        } else {
            TItem* before = nullptr;
            for (TItem* p = collection->first; p; p = p->next) {
                if (single && p->next == single)
                    before = p;
                chosen = p;
            }
            if (before)
                chosen = before;
        }
        selectedItems.Clear();
        SetItemSelected(chosen, true, true);
        Update();
        return true;
    }
    // The step of the choice a key makes: Space the next item (1), Shift+Space the one before
    // (-1); 0 for any other key.
    static int ChoiceStepOfKey(LKey key)
    {
        if (key.KeyCode() != 0 || key.Character() != ' ' || (key.Modifiers() & ~LKey::kShift) != 0)
            return 0;
        return (key.Modifiers() & LKey::kShift) ? -1 : 1;
    }

    bool DeleteSelectedItems()
    {
        if (!collection)
            return false;
        while (selectedItems.first) {
            TItem* item = selectedItems.first->item;
            if (!SetItemSelected(item, false, true))
                selectedItems.Delete(*item);
            collection->DeleteItem(item);
        }
        return true;
    }

    bool RotateSelectedItemLeft() { return RotateSelected(-90.0f); }
    bool RotateSelectedItemRight() { return RotateSelected(90.0f); }

    bool FlipSelectedItemHorizontal()
    {
        TItem* item = GetSingleSelectedItem();
        if (!item)
            return false;
        const bool done = collection->FlipItemHorizontal(*item);
        ClampItemToCollection(*item);
        return done;
    }
    bool FlipSelectedItemVertical()
    {
        TItem* item = GetSingleSelectedItem();
        if (!item)
            return false;
        const bool done = collection->FlipItemVertical(*item);
        ClampItemToCollection(*item);
        return done;
    }
    bool RaiseSelectedItem()
    {
        TItem* item = GetSingleSelectedItem();
        return item && collection->RaiseItem(*item);
    }
    bool LowerSelectedItem()
    {
        TItem* item = GetSingleSelectedItem();
        return item && collection->LowerItem(*item);
    }

    bool MoveSelectedItemRelative(float dx, float dy)
    {
        TItem* item = GetSingleSelectedItem();
        if (!item || !collection->Contains(item))
            return false;
        item->centreX += dx;
        item->centreY += dy;
        item->NotifyTransformChanged();
        ClampItemsToCollection();
        item->placementAlignment = -1;
        return true;
    }

    // Moves the single selected item by an arrow key in screen directions.
    bool MoveSelectedItemViaKey(LKey key, float step)
    {
        return MoveSelectedItemViaKeyCode(key.KeyCode(), step);
    }
    bool MoveSelectedItemViaKeyCode(unsigned keyCode, float step)
    {
        if (!collection || !allowEdit)
            return false;
        float vx = 0, vy = 0;
        switch (keyCode) {
        case kVTKeyLeft:
            vx = -step;
            break;
        case kVTKeyRight:
            vx = step;
            break;
        case kVTKeyDown:
            vy = step;
            break;
        case kVTKeyUp:
            vy = -step;
            break;
        default:
            return false;
        }
        float s = 0, c = 1;
        VTSinCosDegrees(collection->GetRotationAngle(), s, c);
        // Turned by the negative of the collection's angle.
        return MoveSelectedItemRelative(vx * c + vy * s, -vx * s + vy * c);
    }

    // --- Geometry.
    void ClampItemToCollection(TItem& item) const
    {
        if (!collection)
            return;
        float w = 0, h = 0;
        item.GetDimensions(w, h);
        const float hx = w / 2 - 1, hy = h / 2 - 1;
        float s = 0, c = 1;
        VTSinCosDegrees(item.rotation, s, c);
        const float ex = std::fabs(hx * c + hy * s);
        const float ey = std::fabs(-hx * s + hy * c);
        const LBoundingBox2T<float> box = GetCollectionBoundingBox();
        if (item.centreX < box.left - ex) {
            item.centreX = box.left - ex;
            item.NotifyTransformChanged();
        } else if (item.centreX > box.right + ex) {
            item.centreX = box.right + ex;
            item.NotifyTransformChanged();
        }
        if (item.centreY < box.top - ey) {
            item.centreY = box.top - ey;
            item.NotifyTransformChanged();
        } else if (item.centreY > box.bottom + ey) {
            item.centreY = box.bottom + ey;
            item.NotifyTransformChanged();
        }
    }
    void ClampItemsToCollection() const
    {
        if (!collection)
            return;
        for (TItem* p = collection->first; p; p = p->next)
            ClampItemToCollection(*p);
    }
    // Keeps dragged edges at least 2 mm apart.
    static void ClampBoundsToMinimum(uint8_t mask, LBoundingBox2T<float>& box)
    {
        if ((mask & VTHitLeft) && box.right - box.left < 2)
            box.left = box.right - 2;
        else if ((mask & VTHitRight) && box.right - box.left < 2)
            box.right = box.left + 2;
        if ((mask & VTHitTop) && box.bottom - box.top < 2)
            box.top = box.bottom - 2;
        else if ((mask & VTHitBottom) && box.bottom - box.top < 2)
            box.bottom = box.top + 2;
    }
    // The handle as seen on screen: the edge bits turned by the item's quarter turns.
    static void TransformDraggingMaskByItemRotation(uint8_t& mask, const TItem& item)
    {
        const long q = std::lround(double(item.rotation) / 90.0);
        if (q == 0 || q == 4 || q < 1 || !(mask & 15))
            return;
        uint8_t m = mask & 15;
        for (long i = 0; i < q; ++i) {
            uint8_t t = 0;
            if (m & VTHitTop)
                t |= VTHitRight;
            if (m & VTHitRight)
                t |= VTHitBottom;
            if (m & VTHitBottom)
                t |= VTHitLeft;
            if (m & VTHitLeft)
                t |= VTHitTop;
            m = t;
        }
        mask = m;
    }

    // Whether the collection can be mapped onto the control: a box and a client area of
    // positive, finite size. Without one the matrix is the identity and nothing is hit.
    bool HasUsableGeometry() const
    {
        float scale = 0;
        return CollectionScale(scale);
    }

    // Millimetres to pixels.
    LMatrix<float> CalculateCollectionMatrix() const
    {
        LMatrix<float> m;
        float scale = 0;
        if (!CollectionScale(scale))
            return m;
        float s = 0, c = 1;
        VTSinCosDegrees(collection->GetRotationAngle(), s, c);
        m.m[0][0] = c * scale;
        m.m[0][1] = s * scale;
        m.m[1][0] = -s * scale;
        m.m[1][1] = c * scale;
        m.m[3][0] = float(mWidth) / 2;
        m.m[3][1] = float(mHeight) / 2;
        return m;
    }
    void TransformPointPixelsToMillimetres(float& x, float& y, float px, float py) const
    {
        LMatrix<float> m = CalculateCollectionMatrix();
        m.Invert();
        const LPointTemplate<float> p = m.TransformPoint(LPointTemplate<float>(px, py));
        x = p.x;
        y = p.y;
    }

    // The item a press at the point (millimetres) acts on, its hitFlags set for the drag: the
    // single selected item when its border or a handle drawn for it is hit, else the topmost
    // item hit.
    TItem* GetTopmostItemAtPosition(float x, float y)
    {
        if (!collection || !collection->first || !HasUsableGeometry())
            return nullptr;
        TItem* single = GetSingleSelectedItem();
        if (single && collection->Contains(single)) {
            const bool onItem = single->HitTest(x, y);
            if (onItem && !(single->hitFlags & VTHitInside))
                return single;
            if (const uint8_t handle = HandleHitFlags(*single, x, y)) {
                if (!onItem)
                    single->hitFlags = handle;
                return single;
            }
        }
        TItem* hit = nullptr;
        for (TItem* p = collection->first; p; p = p->next)
            if (p->HitTest(x, y))
                hit = p;
        return hit;
    }

    virtual void SelectItemAtPosition(float x, float y)
    {
        if (!collection)
            return;
        TItem* item = GetTopmostItemAtPosition(x, y);
        if (!item) {
            ClearSelectedItems();
            return;
        }
        selecting = true;
        if (!selectedItems.Contains(*item)) {
            selectedItems.Clear();
            SetItemSelected(item, true, true);
        } else {
            NotifyItemSelectionChanged();
        }
        dragAnchorX = x;
        dragAnchorY = y;
        float w = 0, h = 0;
        item->GetDimensions(w, h);
        item->boundingBox = LBoundingBox2T<float>(item->centreX - w / 2, item->centreY - h / 2,
            item->centreX + w / 2, item->centreY + h / 2);
        selecting = false;
    }

    // Chooses the cursor for the point (millimetres).
    virtual void SetMouseCursor(float x, float y)
    {
        if (inDragStep || lastMouseX < 0 || lastMouseY < 0 || lastMouseX >= mWidth
            || lastMouseY >= mHeight)
            return;
        VTItemViewerCursor kind = VTItemViewerCursorArrow;
        TItem* single = GetSingleSelectedItem();
        if (single && GetTopmostItemAtPosition(x, y) == single) {
            uint8_t mask = single->hitFlags;
            TransformDraggingMaskByItemRotation(mask, *single);
            kind = CursorForMask(mask);
        }
        lastCursor = kind;
        ApplyCursor(kind);
    }

    // --- Input (device pixels).
    void EvLButtonDown(int px, int py) override
    {
        FocusControl();
        float x = 0, y = 0;
        TransformPointPixelsToMillimetres(x, y, float(px), float(py));
        lastMouseX = px;
        lastMouseY = py;
        SelectItemAtPosition(x, y);
        if (!selectedItems.IsEmpty()) {
            SetCapture();
            SetMouseCursor(x, y);
        }
        Invalidate();
    }

    void EvMouseMove(int px, int py) override
    {
        if (!collection || (px == lastMouseX && py == lastMouseY))
            return;
        if (IsCaptured()) {
            inDragStep = true;
            if (firstMove) {
                firstMove = false;
                NotifyItemChanged();
            }
        }
        float x = 0, y = 0, lx = 0, ly = 0;
        TransformPointPixelsToMillimetres(x, y, float(px), float(py));
        TransformPointPixelsToMillimetres(lx, ly, float(lastMouseX), float(lastMouseY));
        const float dx = x - lx, dy = y - ly;
        lastMouseX = px;
        lastMouseY = py;
        SetMouseCursor(x, y);
        if (IsCaptured() && allowEdit && !selectedItems.IsEmpty()) {
            const float ax = x - dragAnchorX, ay = y - dragAnchorY;
            for (auto* n = selectedItems.first; n; n = n->next)
                DragItem(*n->item, ax, ay, dx, dy);
            Invalidate();
        }
        inDragStep = false;
    }

    void EvLButtonUp(int px, int py) override
    {
        ReleaseCapture();
        firstMove = true;
        float x = 0, y = 0;
        TransformPointPixelsToMillimetres(x, y, float(px), float(py));
        lastMouseX = px;
        lastMouseY = py;
        SetMouseCursor(x, y);
        for (auto* n = selectedItems.first; n; n = n->next)
            n->item->hitFlags = 0;
    }

    void EvRButtonDown(int px, int py) override
    {
        FocusControl();
        float x = 0, y = 0;
        TransformPointPixelsToMillimetres(x, y, float(px), float(py));
        SelectItemAtPosition(x, y);
        Invalidate();
    }
    void EvRButtonUp(int, int) override { EvContextMenuOpen(); }

    void EvDoubleClick(int px, int py) override
    {
        doubleClick = true;
        FocusControl();
        float x = 0, y = 0;
        TransformPointPixelsToMillimetres(x, y, float(px), float(py));
        lastMouseX = px;
        lastMouseY = py;
        SelectItemAtPosition(x, y);
        if (!selectedItems.IsEmpty()) {
            SetCapture();
            SetMouseCursor(x, y);
        }
        Invalidate();
        doubleClick = false;
    }

    bool EvKeyDown(LKey key) override { return KeyStep(key.KeyCode(), 250.0f); }
    bool EvKeyRepeat(LKey key) override { return KeyStep(key.KeyCode(), 75.0f); }

    // An item leaves the collection: it leaves the selection, and a drag of it ends.
    void EvItemRemoved(TItem& item)
    {
        if (!selectedItems.Contains(item))
            return;
        while (selectedItems.Delete(item)) { }
        if (IsCaptured()) {
            ReleaseCapture();
            firstMove = true;
        }
        NotifyItemSelectionChanged();
        Invalidate();
    }

    TCollection* collection = nullptr;
    // Newest first.
    VTRefList<TItem> selectedItems;
    float dragAnchorX = 0.0f;
    float dragAnchorY = 0.0f;
    bool allowEdit;
    bool setCursors;
    int lastMouseX = -1;
    int lastMouseY = -1;
    bool inDragStep = false;
    bool selecting = false;
    bool doubleClick = false;
    bool firstMove = true;
    VTItemViewerCursor lastCursor = VTItemViewerCursorArrow;

protected:
    // When the point lies within a handle the canvas draws for the single selected item: the
    // hit flags a press there drags with (used where the item's own hit test misses); 0 when
    // it lies on no handle. The plain viewer draws none.
    virtual uint8_t HandleHitFlags(TItem& item, float x, float y)
    {
        (void)item, (void)x, (void)y;
        return 0;
    }

    // The shown collection is about to change (observers of the old one may be removed).
    virtual void EvCollectionChanging(TCollection* previous, TCollection* next)
    {
        (void)previous, (void)next;
    }

    void FocusControl()
    {
        if (hostView)
            hostView->MakeFocus();
    }

private:
    bool CollectionScale(float& scale) const
    {
        if (!collection)
            return false;
        const float W = float(mWidth), H = float(mHeight);
        const LBoundingBox2T<float> b = GetCollectionBoundingBox();
        float bw = b.right - b.left, bh = b.bottom - b.top;
        const long q = std::lround(double(collection->GetRotationAngle()) / 90.0);
        if (q % 2 != 0)
            std::swap(bw, bh);
        const float margin = 0.05f * std::min(W, H);
        if (!(bw > 0) || !(bh > 0) || !std::isfinite(bw) || !std::isfinite(bh)
            || !(W - 2 * margin > 0) || !(H - 2 * margin > 0))
            return false;
        const float sx = (W - 2 * margin) / bw, sy = (H - 2 * margin) / bh;
        scale = std::min(sx, sy);
        return std::isfinite(scale) && scale > 0;
    }

    bool RotateSelected(float degrees)
    {
        TItem* item = GetSingleSelectedItem();
        if (!item || !collection->Contains(item))
            return false;
        item->Rotate(degrees);
        ClampItemToCollection(*item);
        return true;
    }

    bool KeyStep(unsigned keyCode, float divisor)
    {
        if (!collection || !HasKeyboardFocus())
            return false;
        const LBoundingBox2T<float> b = GetCollectionBoundingBox();
        const float step = std::min(b.right - b.left, b.bottom - b.top) / divisor;
        const bool moved = MoveSelectedItemViaKeyCode(keyCode, step);
        if (moved)
            Invalidate();
        return moved;
    }

    VTItemViewerCursor CursorForMask(uint8_t mask) const
    {
        if (mask == 0)
            return VTItemViewerCursorArrow;
        const bool hand = !allowEdit || !setCursors || (mask & VTHitInside);
        if (hand)
            return allowEdit && IsCaptured() ? VTItemViewerCursorHandClosed
                                             : VTItemViewerCursorHand;
        const bool tl = (mask & VTHitTop) && (mask & VTHitLeft);
        const bool br = (mask & VTHitBottom) && (mask & VTHitRight);
        const bool tr = (mask & VTHitTop) && (mask & VTHitRight);
        const bool bl = (mask & VTHitBottom) && (mask & VTHitLeft);
        if (tl || br)
            return VTItemViewerCursorNWSE;
        if (tr || bl)
            return VTItemViewerCursorNESW;
        if (mask & (VTHitTop | VTHitBottom))
            return VTItemViewerCursorUpDown;
        return VTItemViewerCursorLeftRight;
    }

    void ApplyCursor(VTItemViewerCursor kind)
    {
        if (!hostView)
            return;
        cursorSet = true;
        switch (kind) {
        case VTItemViewerCursorArrow:
            LGuiCursor::Restore();
            break;
        case VTItemViewerCursorUpDown:
            LGuiCursor::SetSystem(LGuiCursor::ResizeUpDown);
            break;
        case VTItemViewerCursorLeftRight:
            LGuiCursor::SetSystem(LGuiCursor::ResizeLeftRight);
            break;
        case VTItemViewerCursorNWSE:
            LGuiCursor::SetSizeNWSE();
            break;
        case VTItemViewerCursorNESW:
            LGuiCursor::SetSizeNESW();
            break;
        case VTItemViewerCursorHand:
            LGuiCursor::SetResource(392, 0, 0, 0);
            break;
        case VTItemViewerCursorHandClosed:
            LGuiCursor::SetResource(393, 0, 0, 0);
            break;
        }
        LGuiCursor::SetAsDefault(hostView);
    }

    // One captured move applied to one selected item: (ax, ay) from the press, (dx, dy) the step.
    void DragItem(TItem& item, float ax, float ay, float dx, float dy)
    {
        const uint8_t mask = item.hitFlags;
        if (mask == 0 || (ax == 0 && ay == 0))
            return;
        if (mask & VTHitInside) {
            if constexpr (std::is_base_of_v<VTOverlay, TItem>) {
                if (item.GetType() == VTOverlayTypeCircularText) {
                    DragCircularTextRadius(static_cast<VTOverlayCircularText&>(item), dx, dy);
                    return;
                }
            }
            item.centreX = (item.boundingBox.left + item.boundingBox.right) / 2 + ax;
            item.centreY = (item.boundingBox.top + item.boundingBox.bottom) / 2 + ay;
            item.NotifyTransformChanged();
            item.placementAlignment = -1;
            ClampItemToCollection(item);
            return;
        }
        if (!(mask & 15))
            return;
        float s = 0, c = 1;
        VTSinCosDegrees(item.rotation, s, c);
        const float u = ax * c + ay * s;
        const float v = -ax * s + ay * c;
        LBoundingBox2T<float> box = item.boundingBox;
        if (mask & VTHitLeft)
            box.left += u;
        else if (mask & VTHitRight)
            box.right += u;
        if (mask & VTHitTop)
            box.top += v;
        else if (mask & VTHitBottom)
            box.bottom += v;
        if constexpr (std::is_base_of_v<VTOverlay, TItem>)
            KeepImageAspect(item, mask, box);
        ClampBoundsToMinimum(mask, box);
        item.SetToBoundingBox(box);
        ClampItemToCollection(item);
    }

    // An image whose proportions are kept follows the dragged side; a picture without pixels
    // (a damaged file) is resized freely.
    static void KeepImageAspect(VTOverlay& overlay, uint8_t mask, LBoundingBox2T<float>& box)
    {
        const int type = overlay.GetType();
        if (type != VTOverlayTypeImage && type != VTOverlayTypeClipart
            && type != VTOverlayTypeImageBackground)
            return;
        auto& image = static_cast<VTOverlayImage&>(overlay);
        if (!image.GetMaintainAspectRatio() || !image.image)
            return;
        const float pw = float(image.GetImage().GetWidth());
        const float ph = float(image.GetImage().GetHeight());
        if (!(pw > 0) || !(ph > 0))
            return;
        const LBoundingBox2T<float> old = overlay.boundingBox;
        if (mask & (VTHitLeft | VTHitRight)) {
            const float h = std::max(1.0f, (box.right - box.left) * ph / pw);
            if (mask & VTHitTop) {
                box.top = box.bottom - h;
            } else if (mask & VTHitBottom) {
                box.bottom = box.top + h;
            } else {
                const float mid = (old.top + old.bottom) / 2;
                box.top = mid - h / 2;
                box.bottom = mid + h / 2;
            }
        } else if (mask & (VTHitTop | VTHitBottom)) {
            const float w = std::max(1.0f, (box.bottom - box.top) * pw / ph);
            const float mid = (old.left + old.right) / 2;
            box.left = mid - w / 2;
            box.right = mid + w / 2;
        }
    }

    // A body drag on circular text changes its radius; it stays at least 1 mm.
    void DragCircularTextRadius(VTOverlayCircularText& text, float dx, float dy)
    {
        const bool bottom = text.GetAlignment() == 7;
        const float d = bottom ? -dy : dy;
        const float e = bottom ? -dx : dx;
        const float r = text.outerRadius;
        long q = std::lround(double(text.rotation) / 90.0) % 4;
        if (q < 0)
            q += 4;
        float half = r;
        switch (q) {
        case 0:
            half = r - d;
            break;
        case 1:
            half = r + e;
            break;
        case 2:
            half = r + d;
            break;
        default:
            half = r - e;
            break;
        }
        if (!std::isfinite(half))
            return;
        half = std::max(half, 1.0f);
        LBoundingBox2T<float> box(-half, -half, half, half);
        ClampBoundsToMinimum(text.hitFlags, box);
        text.SetToBoundingBox(box);
        ClampItemToCollection(text);
    }

    bool cursorSet = false;
};
