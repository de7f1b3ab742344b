// The fill editor of a design's background: no fill, a solid colour with opacity, a linear or
// radial gradient with its direction and colour stops, or an image file. It is a pane embedded
// in a property panel; every edit makes a new brush description and tells the observers, which
// read the brush (or, for an image fill, the image and its path) and the drag flags that say
// whether the edit starts an undo step or continues one.
#pragma once

#include "app/controls/VTControlStaticTextWithLabel.h"
#include "app/controls/VTGradientControls.h"
#include "lfw/gen/LNotifier.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LBrushInfo.h"
#include "lfw/mac/LEmbeddedWindow.h"
#include "lfw/mac/LGuiColor.h"

#include <memory>
#include <optional>

class VTWindowFullColorPicker;

class VTWindowFullColorPickerNotifyee {
public:
    virtual ~VTWindowFullColorPickerNotifyee() = default;
    virtual void EvBackgroundColorChanged(VTWindowFullColorPicker& picker) = 0;
};

// A field of one colour in a black frame. A left press sends the "before" command, then (from
// the loop, once the press has been handled) opens the colour chooser; when a new colour was
// chosen it repaints and sends the "picked" command; last it sends the "after" command. It is a
// stop of Tab, framed in the focus colour while it has the keyboard, and Space and Return open
// the chooser as a press does.
class VTColorBoxControl : public LPaintControl {
public:
    VTColorBoxControl();
    ~VTColorBoxControl() override;

    // Adds (when missing) a painted control with the id and binds itself to it.
    void Init(LWindow& window, int id, unsigned short picked, unsigned short before,
        unsigned short after);
    const LGuiColorRef& GetColor() const { return fColor; }
    void SetColor(const LGuiColor& color);
    // Whether a press is waiting for the chooser to open.
    bool IsChooserPending() const { return bPending; }

    void EvLButtonDown(int x, int y) override;
    bool EvKeyDown(LKey key) override;
    void Paint(LPaintContext& context) override;

private:
    void OpenChooserLater();
    void OpenChooser();
    bool Send(unsigned short command);

    LGuiColorRef fColor;
    unsigned short cmdPicked = 0;
    unsigned short cmdBefore = 0;
    unsigned short cmdAfter = 0;
    bool bPending = false;
    // Cleared when the control goes, so that a chooser still open reports to nobody.
    std::shared_ptr<bool> fAlive;
};

class VTWindowFullColorPicker : public LEmbeddedWindow,
                                public LCoolButtonContainer,
                                public LNotifier<VTWindowFullColorPickerNotifyee> {
public:
    // Control ids of the pane; command ids that are no control follow.
    enum {
        kIdSolidBox = 1001,
        kIdNoFill = 1002,
        kIdSolid = 1003,
        kIdGradient = 1004,
        kIdImage = 1005,
        kCmdSolidPicked = 1006, // also the end of a solid-opacity drag
        kCmdColorBefore = 1007,
        kCmdColorAfter = 1008,
        kIdSolidOpacityLabel = 1009,
        kIdSolidOpacity = 1010,
        kIdGradientKind = 1011,
        kIdDirectionLabel = 1012,
        kIdDirection = 1013,
        kCmdDirectionMoved = 1014,
        kCmdDirectionPressed = 1015,
        kCmdDirectionReleased = 1016,
        kIdStopsLabel = 1017,
        kIdStops = 1018,
        kCmdStopDeleted = 1019,
        kCmdStopMoved = 1020,
        kCmdStopPressed = 1021,
        kCmdStopReleased = 1022,
        kIdDeleteStop = 1023,
        kIdStopColorLabel = 1024,
        kIdStopBox = 1025,
        kCmdStopPicked = 1026, // also the end of a stop-opacity drag
        kIdStopOpacityLabel = 1027,
        kIdStopOpacity = 1028,
        kCmdSolidOpacityChanged = 1029,
        kCmdStopOpacityChanged = 1030,
        kCmdGradientKindChanged = 1031,
        kIdBrowse = 1032,
    };

    // Starts with a copy of the brush; null means no brush yet ("Ingen fyllning" with only the
    // fill-type buttons enabled).
    explicit VTWindowFullColorPicker(const LBrushInfo* brush = nullptr);
    ~VTWindowFullColorPicker() override;

    // Shows a copy of the brush; null means an image fill ("Bild:" with the file name).
    void SetBrush(const LBrushInfo* brush);
    // The colour and opacity "Fast:" offers while another fill is shown (the last solid colour
    // of the design being edited); opaque white until set. A solid brush shown or made becomes
    // this colour too.
    void SetSolidColour(const LGuiColorAlpha& colour);
    const LGuiColorAlpha& GetSolidColour() const { return fSolidColour; }
    // The brush the last edit made (or the one set); null for an image fill.
    const LBrushInfo* GetBrush() const { return fBrush ? &*fBrush : nullptr; }
    // The background image's path, whole ("" when none).
    const char* GetBkImagePath() const { return szImagePath.c_str(); }
    // Moves the background image into the buffer when it is valid; false otherwise.
    bool TakeBkImageBuffer(LImageBuffer& buffer);

    // What the observer reads to tell an undo step from a continuation of a drag.
    bool IsOpacityDrag() const { return bOpacityDrag; }
    bool IsStopDrag() const { return bStopDrag; }
    bool IsChangeStart() const { return bChangeStart; }
    // The edit starts an undo step of its own (not the continuation of a drag).
    bool StartsUndoStep() const { return bChangeStart || (!bOpacityDrag && !bStopDrag); }

    // The height the pane needs, in pixels.
    int ComputeHeightPixels() const;

    // Builds the brush from the controls and tells every observer.
    void Apply();
    // Loads the image file as the background (the alert "Ogiltig bildfil" when it cannot be
    // read); true when it was taken.
    bool LoadBackgroundImage(const char* path);
    // The file panel "Välj bakgrundsbild", then LoadBackgroundImage.
    void CmImageSelect();

    VTColorBoxControl& GetSolidBox() { return fSolidBox; }
    VTColorBoxControl& GetStopBox() { return fStopBox; }
    VTGradientPointControl& GetDirectionControl() { return fDirection; }
    VTGradientStopControl& GetStopControl() { return fStops; }
    // The file name as shown (shortened to fit).
    const char* GetShownFileName() const { return fFileName.GetText(); }

    void InitDialog() override;
    void DestroyDialog() override;
    void Command(int id, int code) override;
    void LayoutControls(int x, int y, int width, int height) override;

private:
    void InitControlValues();
    void InitStopControlValues(
        const LPointTemplate<float>& start, const LPointTemplate<float>& end);
    void ChangeFillType(unsigned short id);
    void EnableGradientControls(bool enable);
    void UpdateStopControls();
    // Makes a black stop at 0 (selected) and a white one at 1 when the bar has none.
    void MakeDefaultStops();
    // The fill type ticked (1002 to 1005), 0 when none is.
    int CheckedFillType();
    void CheckFillType(int id);
    // The selected stop takes the stop box's colour and the stop slider's opacity.
    void TakeStopColor();
    void ShowFileName();
    void EnableFileName(bool enable);
    // The solid colour box and its opacity slider show fSolidColour.
    void ShowSolidColour();
    // True while the slider's knob is held with the mouse (a change by keys or the wheel is
    // not part of a drag).
    bool IsSliderDragged(int id) const;

    std::optional<LBrushInfo> fBrush;
    LGuiColorAlpha fSolidColour { 0xFF00, 0xFF00, 0xFF00, 255 };
    VTColorBoxControl fSolidBox;
    VTColorBoxControl fStopBox;
    VTGradientPointControl fDirection;
    VTGradientStopControl fStops;
    VTControlStaticTextWithLabel fFileName;
    bool bOpacityDrag = false;
    bool bStopDrag = false;
    bool bChangeStart = false;
    std::string szImagePath;
    LImageBuffer fImage;
};

// Opacity in percent shown for an 8-bit alpha, rounded up so that the alpha made back from it
// (percent × 255 ÷ 100, truncated) does not drift downwards at every refill.
int VTAlphaToPercent(int alpha);
// The 8-bit alpha of an opacity in percent (truncated).
int VTPercentToAlpha(int percent);
