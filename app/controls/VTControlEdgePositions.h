// The four distances between a template and the edges of its page, in a group box.
// Typing reports after a pause, through a one-shot timer that each change re-arms; leaving the
// field or pressing Return in it reports at once; a value set by the program, or a text that is
// no number, reports nothing.
#pragma once

#include "app/controls/VTControl.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/ios/LTimerHandler.h"

// The edges of a page: 0 top, 1 left, 2 right, 3 bottom.
enum VTEdges {
    kVTEdgeTop = 0,
    kVTEdgeLeft = 1,
    kVTEdgeRight = 2,
    kVTEdgeBottom = 3,
};

class VTControlEdgePositionsNotifyee {
public:
    virtual ~VTControlEdgePositionsNotifyee() = default;
    // The edge's value in millimetres.
    virtual void EvEdgePositionChanged(VTEdges edge, float millimetres) = 0;
};

// Group box 1000 "Kantpositioner (mm)" or "(in)" with a cross of four fields (top, left, right,
// bottom), each with two decimals in the shown unit and at first -120..120.
class VTControlEdgePositions : public VTControl<VTControlEdgePositionsNotifyee>,
                               public LTimerHandler {
public:
    VTControlEdgePositions() = default;
    ~VTControlEdgePositions() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;
    void EvTimer(int id) override;

    // All four in millimetres; pending reports are dropped.
    void SetValues(float top, float left, float right, float bottom);
    // Millimetres: left and right range from -a to c, top and bottom from -b to d.
    void SetMinMaxValues(float a, float b, float c, float d);
    // The edge's value within its range, in millimetres.
    float GetValue(VTEdges edge) const;

    static constexpr unsigned kReportDelayMs = 500;
    // Ids per edge: the up-down input; its text field is one more, the text change two more and
    // the loss of focus three more. The timer of edge e is 2000 + e.
    static constexpr int kInputIds[4] = { 1100, 1201, 1301, 1401 };

private:
    // The edge whose text-change or focus-lost command this is, or -1; *lost tells which.
    static int EdgeOfCommand(int id, bool& lost);

    LDecimalInputControl fInputs[4];
    // Editing of the edge's field just ended: the field's own rewrite of its text follows (see
    // the source). Per field: the field that takes the keyboard from it reports its edits.
    bool bEditEnding[4] = {};
    static constexpr int kEditEndedTimer = 9;
};
