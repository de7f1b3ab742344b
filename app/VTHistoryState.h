// The steps of the design editor's undo history. Before each edit the editor makes a step that
// remembers what the edit is about to change; undoing and redoing the step exchanges the
// remembered content with the live content of the design, then shows the design in the canvas
// and selects the overlay the step concerns. Three kinds:
//   - VTCopySingleOverlayState: a copy of one overlay (its list position and content);
//   - VTCopyListOverlayOrderState: a one-place move of an overlay in the stacking order;
//   - VTCopySingleTemplateState: a copy of the whole design (its overlays, background brush and
//     background image path);
//   - VTAddOverlayState: an overlay added on top of the design, which undoing takes out and
//     keeps; it copies nothing, so adding the thousandth overlay costs what the first did.
// Changes of the label layout are not recorded: the history is emptied when the layout changes.
#pragma once

#include "app/VTOverlay.h"
#include "app/VTProjectTemplate.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LPtr.h"
#include "lfw/mac/LBrushInfo.h"

#include <cstdint>
#include <vector>

class VTCountableImageBuffer;
class VTProjectTemplateViewer;

enum VTHistoryStateKind : int32_t {
    VTHistoryStateKindSingleOverlay = 0,
    VTHistoryStateKindOverlayOrder = 1,
    VTHistoryStateKindSingleTemplate = 2,
    VTHistoryStateKindAddOverlay = 3,
};

class VTHistoryState {
public:
    VTHistoryState(const VTHistoryState&) = delete;
    VTHistoryState& operator=(const VTHistoryState&) = delete;
    virtual ~VTHistoryState() = default;
    virtual void Redo() = 0;
    virtual void Undo() = 0;

    const char* GetCaption() const { return caption; }
    VTHistoryStateKind GetKind() const { return kind; }
    // Adds the pictures the step holds (what it would put back), once for each overlay showing
    // one.
    virtual void AddPictures(std::vector<const VTCountableImageBuffer*>& pictures) const
    {
        (void)pictures;
    }

    // The edit's name, at most 259 bytes ("Overlay Raise", "Text pasted").
    char caption[kLPathSize];
    VTHistoryStateKind kind;

protected:
    // The caption is copied, cut at 259 bytes (never inside a character).
    VTHistoryState(const char* text, VTHistoryStateKind stepKind);
};

// Shared by the three kinds: the canvas and the design the step acts on.
class VTHistoryStateOnTemplate : public VTHistoryState {
protected:
    VTHistoryStateOnTemplate(const char* text, VTHistoryStateKind stepKind,
        VTProjectTemplateViewer& viewer, VTProjectTemplate& design);
    // Shows the design in the canvas with only the overlay at the position selected (nothing
    // for a negative or missing position).
    void ShowResult(int index);

    VTProjectTemplateViewer& canvas;
    VTProjectTemplate& projectTemplate;
};

class VTCopySingleOverlayState : public VTHistoryStateOnTemplate {
public:
    // Keeps a light copy of the overlay (none for null) and the canvas's selected position.
    VTCopySingleOverlayState(const char* caption, VTProjectTemplateViewer& canvas,
        VTProjectTemplate& projectTemplate, VTOverlay* overlay);
    ~VTCopySingleOverlayState() override;
    // Both exchange the content of the overlay at the stored position with the copy, so the
    // copy then holds what was live; the overlay's observers are told.
    void Redo() override { Exchange(); }
    void Undo() override { Exchange(); }
    void AddPictures(std::vector<const VTCountableImageBuffer*>& pictures) const override;

    VTOverlay* copy = nullptr;
    int index;

private:
    void Exchange();
};

class VTCopyListOverlayOrderState : public VTHistoryStateOnTemplate {
public:
    // Made before the move: index is the overlay's position after it (the selected position
    // plus 1 when raising, minus 1 when lowering).
    VTCopyListOverlayOrderState(const char* caption, VTProjectTemplateViewer& canvas,
        VTProjectTemplate& projectTemplate, bool raise);
    // Both move the overlay back one place the other way and flip the direction.
    void Redo() override { Toggle(); }
    void Undo() override { Toggle(); }

    bool raise;
    int index;

private:
    void Toggle();
};

class VTCopySingleTemplateState : public VTHistoryStateOnTemplate {
public:
    // Keeps copies of every overlay in list order, of the background brush (when there is one)
    // and the background image path, and the canvas's selected position.
    VTCopySingleTemplateState(
        const char* caption, VTProjectTemplateViewer& canvas, VTProjectTemplate& projectTemplate);
    // Both exchange the design's overlays, brush and image path with the stored ones.
    void Redo() override { Exchange(); }
    void Undo() override { Exchange(); }
    void AddPictures(std::vector<const VTCountableImageBuffer*>& pictures) const override;

    VTOverlayList overlays;
    LPtr<LBrushInfo> brush;
    int index;
    char imagePath[kLPathSize] = "";

private:
    void Exchange();
};

class VTAddOverlayState : public VTHistoryStateOnTemplate {
public:
    // Made before the overlay is appended on top of the design: notes how many overlays the
    // design holds and the canvas's selected position.
    VTAddOverlayState(
        const char* caption, VTProjectTemplateViewer& canvas, VTProjectTemplate& projectTemplate);
    ~VTAddOverlayState() override;
    // Undo takes the top overlay out of the design and keeps it; Redo puts it back on top. A
    // design that does not hold one overlay more than before (changed under the step) is left
    // as it is.
    void Redo() override;
    void Undo() override;
    void AddPictures(std::vector<const VTCountableImageBuffer*>& pictures) const override;

    // The overlay taken out by Undo (owned), null while it is in the design.
    VTOverlay* removed = nullptr;
    size_t countBefore;
    int index;
};
