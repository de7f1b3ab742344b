// The two painted controls of the fill editor that edit a gradient: a square in which the user
// drags the gradient's start and end points (an arrow from start to end), and a vertical bar
// filled with the gradient whose triangular markers are its colour stops, added by a click,
// selected, dragged and deleted with a right-click. Both are stops of Tab: in the square the
// arrows turn the direction by an eighth, on the bar Space chooses the next stop and the arrows
// move the chosen one. Both tell their parent window by sending it commands (a key sends what a
// short drag would); the parent gives the commands their meaning.
#pragma once

#include "lfw/graphics/LGeometry.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LBrushInfo.h"

#include <cstdint>
#include <memory>

class VTGradientPointControl : public LPaintControlPrePaint {
public:
    enum Handle { HandleNone = 0, HandleStart = 1, HandleEnd = 2 };

    VTGradientPointControl();
    ~VTGradientPointControl() override;

    // Adds a painted control with the id to the window, binds itself to it and keeps the
    // command ids.
    void Init(LWindow& window, int id, unsigned short startMoved, unsigned short endMoved,
        unsigned short pressed, unsigned short released);

    // The points in fractions (0 to 1) of the inner area; set by the parent.
    const LPointTemplate<float>& GetStart() const { return fStart; }
    const LPointTemplate<float>& GetEnd() const { return fEnd; }
    void SetStart(const LPointTemplate<float>& p) { fStart = p; }
    void SetEnd(const LPointTemplate<float>& p) { fEnd = p; }
    int GetHover() const { return iHover; }
    int GetDrag() const { return iDrag; }

    // Snaps the point to one of the nine anchors (corners, edge midpoints, centre) when both of
    // its coordinates lie within 10 pixels of one; otherwise leaves it.
    void ApplySnapping(LPointTemplate<float>& p) const;

    // The margin round the inner area, in pixels.
    int Margin() const { return MapCharacterUnitsToPixelsX(0.75f); }

    void EvMouseMove(int x, int y) override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvMouseOut() override;
    // Right and Down turn the arrow clockwise by an eighth, Left and Up back: each point off the
    // centre goes to the next of the eight anchors round it.
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override { return EvKeyDown(key); }
    void Prepaint(LPaintContext& context) override;

private:
    // Sends the command to the parent; false when this control went away meanwhile.
    bool Send(unsigned short command);

    LPointTemplate<float> fStart { 0.0f, 0.5f };
    LPointTemplate<float> fEnd { 1.0f, 0.5f };
    unsigned short cmdStartMoved = 0;
    unsigned short cmdEndMoved = 0;
    unsigned short cmdPressed = 0;
    unsigned short cmdReleased = 0;
    int iHover = HandleNone;
    int iDrag = HandleNone;
    std::shared_ptr<bool> fAlive;
};

class VTGradientStopControl : public LPaintControlPrePaint {
public:
    // A click adds a stop only while the bar holds fewer than this many.
    static constexpr int kMaxClickedStops = 18;

    VTGradientStopControl();
    ~VTGradientStopControl() override;

    // Adds a painted control with the id to the window, binds itself to it, keeps the command
    // ids and clears the stops.
    void Init(LWindow& window, int id, unsigned short deleted, unsigned short moved,
        unsigned short pressed, unsigned short released);

    // Deletes every stop; clears hover, selection and dragging; repaints.
    void ClearStops();
    // Unlinks and deletes the stop; when it was the selected one, the first stop of the list
    // becomes selected (none when the list is empty).
    void DeleteStop(VTGradientStop* stop);
    // Pushes a new stop at the head of the list (position clamped to 0..1) and answers it.
    VTGradientStop* AddStop(float position, const LGuiColorAlpha& color);
    // Sorts the stops by position (the list is reordered in place).
    void SortStops() { fStops.Sort(); }

    LList<VTGradientStop>& GetStops() { return fStops; }
    const LList<VTGradientStop>& GetStops() const { return fStops; }
    unsigned long GetStopCount() const { return fStops.GetCount(); }
    VTGradientStop* GetSelectedStop() const { return pSelected; }
    void SetSelectedStop(VTGradientStop* stop) { pSelected = stop; }
    VTGradientStop* GetHoveredStop() const { return pHovered; }
    bool IsDragging() const { return bDragging; }
    // The colour and alpha a clicked stop gets.
    void SetNewStopColor(const LGuiColorAlpha& color) { fNewStopColor = color; }

    // The margin above and below the track, and the width of the marker column, in pixels.
    int Margin() const { return MapCharacterUnitsToPixelsX(0.75f); }
    int MarkerColumn() const { return MapCharacterUnitsToPixelsX(1.5f); }
    // The y pixel of a position on the track.
    float PositionToY(float position) const;

    void EvMouseMove(int x, int y) override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvRButtonUp(int x, int y) override;
    void EvMouseOut() override;
    // Space chooses the next stop down the bar (round to the first) and Shift+Space the one
    // before; Down and Right move the chosen stop down by a hundredth, Up and Left up.
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override;
    void Prepaint(LPaintContext& context) override;

    // How far an arrow moves the chosen stop.
    static constexpr float kKeyStep = 0.01f;

private:
    bool Send(unsigned short command);
    // The stop whose marker is at the point, first in list order; null when none.
    VTGradientStop* StopAt(int x, int y) const;

    LList<VTGradientStop> fStops;
    VTGradientStop* pHovered = nullptr;
    VTGradientStop* pSelected = nullptr;
    bool bDragging = false;
    LGuiColorAlpha fNewStopColor { 0, 0, 0, 255 };
    unsigned short cmdDeleted = 0;
    unsigned short cmdMoved = 0;
    unsigned short cmdPressed = 0;
    unsigned short cmdReleased = 0;
    std::shared_ptr<bool> fAlive;
};
