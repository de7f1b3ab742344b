// What the property panels beside the design canvas tell the project viewer: one observer
// interface per panel (label layout, template background, text properties, image properties).
// The panels change no document themselves; the viewer records an undo step first.
#pragma once

#include "app/VTBackgroundFill.h"
#include "app/VTControlTemplateSelector.h"
#include "app/VTItemHitTestable.h"
#include "app/VTWindowFullColorPicker.h"
#include "app/controls/VTControlAlignment.h"
#include "app/controls/VTControlButton.h"
#include "app/controls/VTControlCheckBox.h"
#include "app/controls/VTControlColourPicker.h"
#include "app/controls/VTControlEdit.h"
#include "app/controls/VTControlFontStyle.h"
#include "app/controls/VTControlNumericalInput.h"
#include "app/controls/VTControlPaginator.h"
#include "app/controls/VTControlPullDownList.h"
#include "app/controls/VTControlStaticTextWithLabel.h"
#include "app/controls/VTControlTransform.h"
#include "lfw/gen/LNotifier.h"
#include "lfw/gui/LEmbeddedWindowTitled.h"

#include <string>

class VTLabelLayoutTemplate;
class VTOverlayImage;
class VTOverlayText;
class VTProject;
class VTProjectTemplate;

// The title-bar ids of the four panels.
enum : int {
    kVTPanelLabelLayout = 2001,
    kVTPanelTemplate = 2002,
    kVTPanelTextProperties = 2003,
    kVTPanelImageProperties = 2004,
};

class VTProjectViewerPanelLabelLayoutNotifyee {
public:
    virtual ~VTProjectViewerPanelLabelLayoutNotifyee() = default;
    virtual void EvProjectViewerPanelLabelLayoutSelectClicked() { }
    virtual void EvProjectViewerPanelLabelLayoutEditClicked() { }
    virtual void EvProjectViewerPanelLabelLayoutSelectionChanged(VTLabelLayoutTemplate*) { }
    virtual void EvProjectViewerPanelLabelLayoutCheckClicked(VTControlCheckBox&) { }
};

class VTProjectViewerPanelTemplateNotifyee {
public:
    virtual ~VTProjectViewerPanelTemplateNotifyee() = default;
    virtual void EvProjectViewerPanelTemplateBackgroundColourChanged(VTBackgroundFill&, bool) { }
};

class VTProjectViewerPanelTextPropertiesNotifyee {
public:
    virtual ~VTProjectViewerPanelTextPropertiesNotifyee() = default;
    virtual void EvProjectViewerPanelTextPropertiesChanged() { }
    virtual void EvProjectViewerPanelTextAlignmentChanged(LAlignment) { }
    virtual void EvProjectViewerPanelTextRotateLeft() { }
    virtual void EvProjectViewerPanelTextRotateRight() { }
    virtual void EvProjectViewerPanelTextFlipHorizontal() { }
    virtual void EvProjectViewerPanelTextFlipVertical() { }
    virtual void EvProjectViewerPanelTextLower() { }
    virtual void EvProjectViewerPanelTextRaise() { }
    virtual void EvProjectViewerPanelTextChangeCircularText(bool) { }
};

class VTProjectViewerPanelImagePropertiesNotifyee {
public:
    virtual ~VTProjectViewerPanelImagePropertiesNotifyee() = default;
    virtual void EvProjectViewerPanelImagePropertiesChanged() { }
    virtual void EvProjectViewerPanelImageRotateLeft() { }
    virtual void EvProjectViewerPanelImageRotateRight() { }
    virtual void EvProjectViewerPanelImageFlipHorizontal() { }
    virtual void EvProjectViewerPanelImageFlipVertical() { }
    virtual void EvProjectViewerPanelImageLower() { }
    virtual void EvProjectViewerPanelImageRaise() { }
};

// The layout rule the four panels share: one column of controls, each as wide as the panel less
// a margin of 1.25 character widths on either side, stacked from 0.59 character heights below
// the top without gaps. Heights in backing pixels.
struct VTPanelRows {
    static int R(double v) { return int(v + 0.5); }
    // The gap under a row: R(0.59 ch).
    static int Gap(const LWindow& w) { return R(w.CharHeightPixels() * 0.59); }
    // Label, button, list, numerical input, colour picker, check box.
    static int OneLine(const LWindow& w) { return R(w.CharHeightPixels() * 1.23) + Gap(w); }
    static int TextEdit(const LWindow& w) { return int(w.GetBackingScaleFactor() * 100) + Gap(w); }
    static int TemplateSelector(const LWindow& w)
    {
        return int(w.GetBackingScaleFactor() * 200) + Gap(w);
    }
    static int Paginator(const LWindow& w) { return R(w.CharHeightPixels() * 1.23) + 2 * Gap(w); }
    static int FontStyle(const LWindow& w) { return R(w.CharWidthPixels() * 4.5) + 2 * Gap(w); }
    static int Alignment(const LWindow& w)
    {
        return 3 * R(w.CharWidthPixels() * 4) + 2 * (R(w.CharWidthPixels() * 0.25) / 2) + Gap(w);
    }
    static int Transform(const LWindow& w) { return Gap(w) + 2 * R(w.CharHeightPixels() * 1.23); }

    // Places the control in the next row of the height and moves down.
    VTPanelRows(const LWindow& panel, int x0, int y0, int width)
        : x(x0 + R(panel.CharWidthPixels() * 1.25))
        , y(y0 + Gap(panel))
        , w(std::max(0, width - 2 * R(panel.CharWidthPixels() * 1.25)))
    {
    }
    void Place(LEmbeddedWindow& control, int height)
    {
        control.MovePixels(x, y, w, height);
        y += height;
    }
    int x, y, w;
};

// --- the panels ----------------------------------------------------------------------------------

// The label layout: its name, choosing and editing it, and whether positions of one format share
// a design.
class VTProjectViewerPanelLabelLayout : public LEmbeddedWindowTitled,
                                        public LNotifier<VTProjectViewerPanelLabelLayoutNotifyee>,
                                        private VTControlButtonNotifyee,
                                        private VTControlCheckBoxNotifyee,
                                        private VTControlTemplateSelectorNotifyee,
                                        private VTControlPaginatorNotifyee {
public:
    VTProjectViewerPanelLabelLayout();
    ~VTProjectViewerPanelLabelLayout() override;
    void InitPanel() override;
    void MeasurePanel() override;
    void LayoutPanelControls(int x, int y, int width, int height) override;
    void DestroyPanel() override;

    void SetProject(VTProject* p)
    {
        project = p;
        UpdateDetails();
    }
    void UpdateDetails();
    void SetSelectedProjectTemplate(VTProjectTemplate* design);
    // Sets the same-format box without reporting it.
    void SetSameFormatCheck(bool on);

    VTProject* project = nullptr;
    VTProjectTemplate* selectedDesign = nullptr;
    VTControlStaticTextWithLabel name { "Namn:" };
    VTControlButton selectButton { "Välj etikettlayout..." };
    VTControlButton editButton { "Redigera etikettlayout..." };
    VTControlTemplateSelector selector;
    VTControlPaginator pages;
    VTControlCheckBox sameFormat { "Använda samma design för samma malltyper" };

private:
    void EvButtonPressed(VTControlButton& button) override;
    void EvControlCheckBoxChanged(VTControlCheckBox& box) override;
    void EvControlTemplateSelectorSelectionChanged(VTLabelLayoutTemplate* t) override;
    void EvControlPaginatorPreviousClicked() override;
    void EvControlPaginatorNextClicked() override;
    // The paginator shows the page and the layout's number of pages.
    void ShowPage(unsigned long page);
};

// The background of the shown design.
class VTProjectViewerPanelTemplate : public LEmbeddedWindowTitled,
                                     public LNotifier<VTProjectViewerPanelTemplateNotifyee>,
                                     private VTWindowFullColorPickerNotifyee {
public:
    VTProjectViewerPanelTemplate();
    ~VTProjectViewerPanelTemplate() override;
    void InitPanel() override;
    void MeasurePanel() override;
    void LayoutPanelControls(int x, int y, int width, int height) override;
    void DestroyPanel() override;

    // "Bakgrundsegenskaper" while a design is shown, else empty; the title bar repaints.
    void SetTitle(const char* title);
    // The fill the panel shows: the design's brush (null for none) and background image path,
    // and the colour "Fast:" offers while the fill is not solid.
    void SetBackground(const LBrushInfo* brush, const char* path, const LGuiColorAlpha& solid);

    VTWindowFullColorPicker picker;

private:
    void EvBackgroundColorChanged(VTWindowFullColorPicker& picker) override;
};

// The selected straight or circular text.
class VTProjectViewerPanelTextProperties
    : public LEmbeddedWindowTitled,
      public LNotifier<VTProjectViewerPanelTextPropertiesNotifyee>,
      private VTControlEditNotifyee,
      private VTControlPullDownListNotifyee,
      private VTControlColourPickerNotifyee,
      private VTControlCheckBoxNotifyee,
      private VTControlNumericalInputNotifyee,
      private VTControlFontStyleNotifyee,
      private VTControlAlignmentNotifyee,
      private VTControlTransformNotifyee {
public:
    VTProjectViewerPanelTextProperties();
    ~VTProjectViewerPanelTextProperties() override;
    void InitPanel() override;
    void MeasurePanel() override;
    void LayoutPanelControls(int x, int y, int width, int height) override;
    void DestroyPanel() override;
    void UpdatePanelHeight();

    // Shows the overlay's values, setting no notification off.
    void SetValues(const VTOverlayText& overlay, bool canRaise, bool canLower);
    // Writes what differs into the overlay, telling its observers after each value.
    void GetValues(VTOverlayText& overlay) const;
    // Whether GetValues would write anything into the overlay.
    bool Differs(const VTOverlayText& overlay) const;
    void EnableControls() override;
    // Sets "Böjd text" without reporting it.
    void SetCircularCheck(bool on);
    // The keyboard goes to the text field.
    void FocusText();
    // What was typed into the text or the size and waits for its pause is told now, as one
    // change (nothing when nothing waits).
    void ReportPendingChanges();

    VTControlEdit text;
    VTControlPullDownList fontList { "Teckensnitt:", "Markera textteckensnitt" };
    VTControlNumericalInput size { "Teckenstorlek:", "Teckenhöjd", 1, 200 };
    VTControlFontStyle fontStyle;
    VTControlColourPicker textColour { "Textfärg:", "Markera text förgrundsfärg", false };
    VTControlColourPicker backgroundColour { "Bakgrundsfärg:", "Markera bakgrundsfärg för text",
        true };
    VTControlAlignment alignment;
    VTControlCheckBox circular { "Böjd text" };
    VTControlTransform transform;

private:
    void EvTextChanged(VTControlEdit&) override;
    void EvPullDownListChanged(VTControlPullDownList&) override;
    void EvColourPickerChanged(VTControlColourPicker&) override;
    void EvControlCheckBoxChanged(VTControlCheckBox& box) override;
    void EvNumericalInputChanged(VTControlNumericalInput&) override;
    void EvFontStyleChanged(VTControlFontStyle&) override;
    void EvChangeAlignment(VTControlAlignment&, LAlignment a) override;
    void EvRotateLeft(VTControlTransform&) override;
    void EvRotateRight(VTControlTransform&) override;
    void EvFlipHorizontal(VTControlTransform&) override;
    void EvFlipVertical(VTControlTransform&) override;
    void EvRaise(VTControlTransform&) override;
    void EvLower(VTControlTransform&) override;
    void Changed();
    // GetValues into the target, or only the comparison with the overlay without one (the
    // target is the overlay when there is one); whether anything differs.
    bool WriteValues(VTOverlayText* target, const VTOverlayText& overlay) const;

    // The overlay whose text the text box was given last (only compared, never used).
    const VTOverlayText* textShownOf = nullptr;
};

// The selected picture, clipart or background image.
class VTProjectViewerPanelImageProperties
    : public LEmbeddedWindowTitled,
      public LNotifier<VTProjectViewerPanelImagePropertiesNotifyee>,
      private VTControlCheckBoxNotifyee,
      private VTControlTransformNotifyee {
public:
    VTProjectViewerPanelImageProperties();
    ~VTProjectViewerPanelImageProperties() override;
    void InitPanel() override;
    void MeasurePanel() override;
    void LayoutPanelControls(int x, int y, int width, int height) override;
    void DestroyPanel() override;

    void SetValues(const VTOverlayImage& overlay, bool canRaise, bool canLower);
    bool GetKeepAspect() { return keepAspect.GetCheck(1000); }

    VTControlStaticTextWithLabel fileName { "Filnamn i original:  " };
    VTControlCheckBox keepAspect { "Underhåll proportioner" };
    VTControlTransform transform;

private:
    void EvControlCheckBoxChanged(VTControlCheckBox& box) override;
    void EvRotateLeft(VTControlTransform&) override;
    void EvRotateRight(VTControlTransform&) override;
    void EvFlipHorizontal(VTControlTransform&) override;
    void EvFlipVertical(VTControlTransform&) override;
    void EvRaise(VTControlTransform&) override;
    void EvLower(VTControlTransform&) override;
};

// The font sizes a text may have.
inline constexpr int kVTTextSizeMin = 1;
inline constexpr int kVTTextSizeMax = 200;
inline int VTClampTextSize(int size)
{
    return size < kVTTextSizeMin ? kVTTextSizeMin : size > kVTTextSizeMax ? kVTTextSizeMax : size;
}
